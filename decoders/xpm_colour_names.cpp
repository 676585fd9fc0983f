// X11 colour names for X pixmap colour lines. Generated from the X11 colour list (rgb.txt)
// by tools/make_colour_names.py; remake it with
//     python3 tools/make_colour_names.py /usr/share/X11/rgb.txt > decoders/xpm_colour_names.cpp
#include "decoders/xpm.h"

// clang-format off
const int k_colour_name_count = 449;

// Folded names, sorted, each ended by a zero byte.
const char k_colour_names[] =
    "aliceblue\0" "antiquewhite\0" "antiquewhite1\0" "antiquewhite2\0" "antiquewhite3\0"
    "antiquewhite4\0" "aquamarine\0" "aquamarine1\0" "aquamarine2\0" "aquamarine3\0"
    "aquamarine4\0" "azure\0" "azure1\0" "azure2\0" "azure3\0" "azure4\0" "beige\0" "bisque\0"
    "bisque1\0" "bisque2\0" "bisque3\0" "bisque4\0" "black\0" "blanchedalmond\0" "blue\0" "blue1\0"
    "blue2\0" "blue3\0" "blue4\0" "blueviolet\0" "brown\0" "brown1\0" "brown2\0" "brown3\0"
    "brown4\0" "burlywood\0" "burlywood1\0" "burlywood2\0" "burlywood3\0" "burlywood4\0"
    "cadetblue\0" "cadetblue1\0" "cadetblue2\0" "cadetblue3\0" "cadetblue4\0" "chartreuse\0"
    "chartreuse1\0" "chartreuse2\0" "chartreuse3\0" "chartreuse4\0" "chocolate\0" "chocolate1\0"
    "chocolate2\0" "chocolate3\0" "chocolate4\0" "coral\0" "coral1\0" "coral2\0" "coral3\0"
    "coral4\0" "cornflowerblue\0" "cornsilk\0" "cornsilk1\0" "cornsilk2\0" "cornsilk3\0"
    "cornsilk4\0" "cyan\0" "cyan1\0" "cyan2\0" "cyan3\0" "cyan4\0" "darkblue\0" "darkcyan\0"
    "darkgoldenrod\0" "darkgoldenrod1\0" "darkgoldenrod2\0" "darkgoldenrod3\0" "darkgoldenrod4\0"
    "darkgray\0" "darkgreen\0" "darkkhaki\0" "darkmagenta\0" "darkolivegreen\0" "darkolivegreen1\0"
    "darkolivegreen2\0" "darkolivegreen3\0" "darkolivegreen4\0" "darkorange\0" "darkorange1\0"
    "darkorange2\0" "darkorange3\0" "darkorange4\0" "darkorchid\0" "darkorchid1\0" "darkorchid2\0"
    "darkorchid3\0" "darkorchid4\0" "darkred\0" "darksalmon\0" "darkseagreen\0" "darkseagreen1\0"
    "darkseagreen2\0" "darkseagreen3\0" "darkseagreen4\0" "darkslateblue\0" "darkslategray\0"
    "darkslategray1\0" "darkslategray2\0" "darkslategray3\0" "darkslategray4\0" "darkturquoise\0"
    "darkviolet\0" "debianred\0" "deeppink\0" "deeppink1\0" "deeppink2\0" "deeppink3\0"
    "deeppink4\0" "deepskyblue\0" "deepskyblue1\0" "deepskyblue2\0" "deepskyblue3\0"
    "deepskyblue4\0" "dimgray\0" "dodgerblue\0" "dodgerblue1\0" "dodgerblue2\0" "dodgerblue3\0"
    "dodgerblue4\0" "firebrick\0" "firebrick1\0" "firebrick2\0" "firebrick3\0" "firebrick4\0"
    "floralwhite\0" "forestgreen\0" "gainsboro\0" "ghostwhite\0" "gold\0" "gold1\0" "gold2\0"
    "gold3\0" "gold4\0" "goldenrod\0" "goldenrod1\0" "goldenrod2\0" "goldenrod3\0" "goldenrod4\0"
    "gray\0" "green\0" "green1\0" "green2\0" "green3\0" "green4\0" "greenyellow\0" "honeydew\0"
    "honeydew1\0" "honeydew2\0" "honeydew3\0" "honeydew4\0" "hotpink\0" "hotpink1\0" "hotpink2\0"
    "hotpink3\0" "hotpink4\0" "indianred\0" "indianred1\0" "indianred2\0" "indianred3\0"
    "indianred4\0" "ivory\0" "ivory1\0" "ivory2\0" "ivory3\0" "ivory4\0" "khaki\0" "khaki1\0"
    "khaki2\0" "khaki3\0" "khaki4\0" "lavender\0" "lavenderblush\0" "lavenderblush1\0"
    "lavenderblush2\0" "lavenderblush3\0" "lavenderblush4\0" "lawngreen\0" "lemonchiffon\0"
    "lemonchiffon1\0" "lemonchiffon2\0" "lemonchiffon3\0" "lemonchiffon4\0" "lightblue\0"
    "lightblue1\0" "lightblue2\0" "lightblue3\0" "lightblue4\0" "lightcoral\0" "lightcyan\0"
    "lightcyan1\0" "lightcyan2\0" "lightcyan3\0" "lightcyan4\0" "lightgoldenrod\0"
    "lightgoldenrod1\0" "lightgoldenrod2\0" "lightgoldenrod3\0" "lightgoldenrod4\0"
    "lightgoldenrodyellow\0" "lightgray\0" "lightgreen\0" "lightpink\0" "lightpink1\0"
    "lightpink2\0" "lightpink3\0" "lightpink4\0" "lightsalmon\0" "lightsalmon1\0" "lightsalmon2\0"
    "lightsalmon3\0" "lightsalmon4\0" "lightseagreen\0" "lightskyblue\0" "lightskyblue1\0"
    "lightskyblue2\0" "lightskyblue3\0" "lightskyblue4\0" "lightslateblue\0" "lightslategray\0"
    "lightsteelblue\0" "lightsteelblue1\0" "lightsteelblue2\0" "lightsteelblue3\0"
    "lightsteelblue4\0" "lightyellow\0" "lightyellow1\0" "lightyellow2\0" "lightyellow3\0"
    "lightyellow4\0" "limegreen\0" "linen\0" "magenta\0" "magenta1\0" "magenta2\0" "magenta3\0"
    "magenta4\0" "maroon\0" "maroon1\0" "maroon2\0" "maroon3\0" "maroon4\0" "mediumaquamarine\0"
    "mediumblue\0" "mediumorchid\0" "mediumorchid1\0" "mediumorchid2\0" "mediumorchid3\0"
    "mediumorchid4\0" "mediumpurple\0" "mediumpurple1\0" "mediumpurple2\0" "mediumpurple3\0"
    "mediumpurple4\0" "mediumseagreen\0" "mediumslateblue\0" "mediumspringgreen\0"
    "mediumturquoise\0" "mediumvioletred\0" "midnightblue\0" "mintcream\0" "mistyrose\0"
    "mistyrose1\0" "mistyrose2\0" "mistyrose3\0" "mistyrose4\0" "moccasin\0" "navajowhite\0"
    "navajowhite1\0" "navajowhite2\0" "navajowhite3\0" "navajowhite4\0" "navy\0" "navyblue\0"
    "oldlace\0" "olivedrab\0" "olivedrab1\0" "olivedrab2\0" "olivedrab3\0" "olivedrab4\0"
    "orange\0" "orange1\0" "orange2\0" "orange3\0" "orange4\0" "orangered\0" "orangered1\0"
    "orangered2\0" "orangered3\0" "orangered4\0" "orchid\0" "orchid1\0" "orchid2\0" "orchid3\0"
    "orchid4\0" "palegoldenrod\0" "palegreen\0" "palegreen1\0" "palegreen2\0" "palegreen3\0"
    "palegreen4\0" "paleturquoise\0" "paleturquoise1\0" "paleturquoise2\0" "paleturquoise3\0"
    "paleturquoise4\0" "palevioletred\0" "palevioletred1\0" "palevioletred2\0" "palevioletred3\0"
    "palevioletred4\0" "papayawhip\0" "peachpuff\0" "peachpuff1\0" "peachpuff2\0" "peachpuff3\0"
    "peachpuff4\0" "peru\0" "pink\0" "pink1\0" "pink2\0" "pink3\0" "pink4\0" "plum\0" "plum1\0"
    "plum2\0" "plum3\0" "plum4\0" "powderblue\0" "purple\0" "purple1\0" "purple2\0" "purple3\0"
    "purple4\0" "red\0" "red1\0" "red2\0" "red3\0" "red4\0" "rosybrown\0" "rosybrown1\0"
    "rosybrown2\0" "rosybrown3\0" "rosybrown4\0" "royalblue\0" "royalblue1\0" "royalblue2\0"
    "royalblue3\0" "royalblue4\0" "saddlebrown\0" "salmon\0" "salmon1\0" "salmon2\0" "salmon3\0"
    "salmon4\0" "sandybrown\0" "seagreen\0" "seagreen1\0" "seagreen2\0" "seagreen3\0" "seagreen4\0"
    "seashell\0" "seashell1\0" "seashell2\0" "seashell3\0" "seashell4\0" "sienna\0" "sienna1\0"
    "sienna2\0" "sienna3\0" "sienna4\0" "skyblue\0" "skyblue1\0" "skyblue2\0" "skyblue3\0"
    "skyblue4\0" "slateblue\0" "slateblue1\0" "slateblue2\0" "slateblue3\0" "slateblue4\0"
    "slategray\0" "slategray1\0" "slategray2\0" "slategray3\0" "slategray4\0" "snow\0" "snow1\0"
    "snow2\0" "snow3\0" "snow4\0" "springgreen\0" "springgreen1\0" "springgreen2\0"
    "springgreen3\0" "springgreen4\0" "steelblue\0" "steelblue1\0" "steelblue2\0" "steelblue3\0"
    "steelblue4\0" "tan\0" "tan1\0" "tan2\0" "tan3\0" "tan4\0" "thistle\0" "thistle1\0"
    "thistle2\0" "thistle3\0" "thistle4\0" "tomato\0" "tomato1\0" "tomato2\0" "tomato3\0"
    "tomato4\0" "turquoise\0" "turquoise1\0" "turquoise2\0" "turquoise3\0" "turquoise4\0"
    "violet\0" "violetred\0" "violetred1\0" "violetred2\0" "violetred3\0" "violetred4\0" "wheat\0"
    "wheat1\0" "wheat2\0" "wheat3\0" "wheat4\0" "white\0" "whitesmoke\0" "yellow\0" "yellow1\0"
    "yellow2\0" "yellow3\0" "yellow4\0" "yellowgreen\0";

// Red, green and blue of each name, in the same order.
const uint8_t k_colour_rgb[][3] = {
    {240,248,255}, {250,235,215}, {255,239,219}, {238,223,204}, {205,192,176}, {139,131,120},
    {127,255,212}, {127,255,212}, {118,238,198}, {102,205,170}, {69,139,116}, {240,255,255},
    {240,255,255}, {224,238,238}, {193,205,205}, {131,139,139}, {245,245,220}, {255,228,196},
    {255,228,196}, {238,213,183}, {205,183,158}, {139,125,107}, {0,0,0}, {255,235,205}, {0,0,255},
    {0,0,255}, {0,0,238}, {0,0,205}, {0,0,139}, {138,43,226}, {165,42,42}, {255,64,64},
    {238,59,59}, {205,51,51}, {139,35,35}, {222,184,135}, {255,211,155}, {238,197,145},
    {205,170,125}, {139,115,85}, {95,158,160}, {152,245,255}, {142,229,238}, {122,197,205},
    {83,134,139}, {127,255,0}, {127,255,0}, {118,238,0}, {102,205,0}, {69,139,0}, {210,105,30},
    {255,127,36}, {238,118,33}, {205,102,29}, {139,69,19}, {255,127,80}, {255,114,86},
    {238,106,80}, {205,91,69}, {139,62,47}, {100,149,237}, {255,248,220}, {255,248,220},
    {238,232,205}, {205,200,177}, {139,136,120}, {0,255,255}, {0,255,255}, {0,238,238},
    {0,205,205}, {0,139,139}, {0,0,139}, {0,139,139}, {184,134,11}, {255,185,15}, {238,173,14},
    {205,149,12}, {139,101,8}, {169,169,169}, {0,100,0}, {189,183,107}, {139,0,139}, {85,107,47},
    {202,255,112}, {188,238,104}, {162,205,90}, {110,139,61}, {255,140,0}, {255,127,0},
    {238,118,0}, {205,102,0}, {139,69,0}, {153,50,204}, {191,62,255}, {178,58,238}, {154,50,205},
    {104,34,139}, {139,0,0}, {233,150,122}, {143,188,143}, {193,255,193}, {180,238,180},
    {155,205,155}, {105,139,105}, {72,61,139}, {47,79,79}, {151,255,255}, {141,238,238},
    {121,205,205}, {82,139,139}, {0,206,209}, {148,0,211}, {215,7,81}, {255,20,147}, {255,20,147},
    {238,18,137}, {205,16,118}, {139,10,80}, {0,191,255}, {0,191,255}, {0,178,238}, {0,154,205},
    {0,104,139}, {105,105,105}, {30,144,255}, {30,144,255}, {28,134,238}, {24,116,205},
    {16,78,139}, {178,34,34}, {255,48,48}, {238,44,44}, {205,38,38}, {139,26,26}, {255,250,240},
    {34,139,34}, {220,220,220}, {248,248,255}, {255,215,0}, {255,215,0}, {238,201,0}, {205,173,0},
    {139,117,0}, {218,165,32}, {255,193,37}, {238,180,34}, {205,155,29}, {139,105,20},
    {190,190,190}, {0,255,0}, {0,255,0}, {0,238,0}, {0,205,0}, {0,139,0}, {173,255,47},
    {240,255,240}, {240,255,240}, {224,238,224}, {193,205,193}, {131,139,131}, {255,105,180},
    {255,110,180}, {238,106,167}, {205,96,144}, {139,58,98}, {205,92,92}, {255,106,106},
    {238,99,99}, {205,85,85}, {139,58,58}, {255,255,240}, {255,255,240}, {238,238,224},
    {205,205,193}, {139,139,131}, {240,230,140}, {255,246,143}, {238,230,133}, {205,198,115},
    {139,134,78}, {230,230,250}, {255,240,245}, {255,240,245}, {238,224,229}, {205,193,197},
    {139,131,134}, {124,252,0}, {255,250,205}, {255,250,205}, {238,233,191}, {205,201,165},
    {139,137,112}, {173,216,230}, {191,239,255}, {178,223,238}, {154,192,205}, {104,131,139},
    {240,128,128}, {224,255,255}, {224,255,255}, {209,238,238}, {180,205,205}, {122,139,139},
    {238,221,130}, {255,236,139}, {238,220,130}, {205,190,112}, {139,129,76}, {250,250,210},
    {211,211,211}, {144,238,144}, {255,182,193}, {255,174,185}, {238,162,173}, {205,140,149},
    {139,95,101}, {255,160,122}, {255,160,122}, {238,149,114}, {205,129,98}, {139,87,66},
    {32,178,170}, {135,206,250}, {176,226,255}, {164,211,238}, {141,182,205}, {96,123,139},
    {132,112,255}, {119,136,153}, {176,196,222}, {202,225,255}, {188,210,238}, {162,181,205},
    {110,123,139}, {255,255,224}, {255,255,224}, {238,238,209}, {205,205,180}, {139,139,122},
    {50,205,50}, {250,240,230}, {255,0,255}, {255,0,255}, {238,0,238}, {205,0,205}, {139,0,139},
    {176,48,96}, {255,52,179}, {238,48,167}, {205,41,144}, {139,28,98}, {102,205,170}, {0,0,205},
    {186,85,211}, {224,102,255}, {209,95,238}, {180,82,205}, {122,55,139}, {147,112,219},
    {171,130,255}, {159,121,238}, {137,104,205}, {93,71,139}, {60,179,113}, {123,104,238},
    {0,250,154}, {72,209,204}, {199,21,133}, {25,25,112}, {245,255,250}, {255,228,225},
    {255,228,225}, {238,213,210}, {205,183,181}, {139,125,123}, {255,228,181}, {255,222,173},
    {255,222,173}, {238,207,161}, {205,179,139}, {139,121,94}, {0,0,128}, {0,0,128}, {253,245,230},
    {107,142,35}, {192,255,62}, {179,238,58}, {154,205,50}, {105,139,34}, {255,165,0}, {255,165,0},
    {238,154,0}, {205,133,0}, {139,90,0}, {255,69,0}, {255,69,0}, {238,64,0}, {205,55,0},
    {139,37,0}, {218,112,214}, {255,131,250}, {238,122,233}, {205,105,201}, {139,71,137},
    {238,232,170}, {152,251,152}, {154,255,154}, {144,238,144}, {124,205,124}, {84,139,84},
    {175,238,238}, {187,255,255}, {174,238,238}, {150,205,205}, {102,139,139}, {219,112,147},
    {255,130,171}, {238,121,159}, {205,104,137}, {139,71,93}, {255,239,213}, {255,218,185},
    {255,218,185}, {238,203,173}, {205,175,149}, {139,119,101}, {205,133,63}, {255,192,203},
    {255,181,197}, {238,169,184}, {205,145,158}, {139,99,108}, {221,160,221}, {255,187,255},
    {238,174,238}, {205,150,205}, {139,102,139}, {176,224,230}, {160,32,240}, {155,48,255},
    {145,44,238}, {125,38,205}, {85,26,139}, {255,0,0}, {255,0,0}, {238,0,0}, {205,0,0}, {139,0,0},
    {188,143,143}, {255,193,193}, {238,180,180}, {205,155,155}, {139,105,105}, {65,105,225},
    {72,118,255}, {67,110,238}, {58,95,205}, {39,64,139}, {139,69,19}, {250,128,114},
    {255,140,105}, {238,130,98}, {205,112,84}, {139,76,57}, {244,164,96}, {46,139,87},
    {84,255,159}, {78,238,148}, {67,205,128}, {46,139,87}, {255,245,238}, {255,245,238},
    {238,229,222}, {205,197,191}, {139,134,130}, {160,82,45}, {255,130,71}, {238,121,66},
    {205,104,57}, {139,71,38}, {135,206,235}, {135,206,255}, {126,192,238}, {108,166,205},
    {74,112,139}, {106,90,205}, {131,111,255}, {122,103,238}, {105,89,205}, {71,60,139},
    {112,128,144}, {198,226,255}, {185,211,238}, {159,182,205}, {108,123,139}, {255,250,250},
    {255,250,250}, {238,233,233}, {205,201,201}, {139,137,137}, {0,255,127}, {0,255,127},
    {0,238,118}, {0,205,102}, {0,139,69}, {70,130,180}, {99,184,255}, {92,172,238}, {79,148,205},
    {54,100,139}, {210,180,140}, {255,165,79}, {238,154,73}, {205,133,63}, {139,90,43},
    {216,191,216}, {255,225,255}, {238,210,238}, {205,181,205}, {139,123,139}, {255,99,71},
    {255,99,71}, {238,92,66}, {205,79,57}, {139,54,38}, {64,224,208}, {0,245,255}, {0,229,238},
    {0,197,205}, {0,134,139}, {238,130,238}, {208,32,144}, {255,62,150}, {238,58,140},
    {205,50,120}, {139,34,82}, {245,222,179}, {255,231,186}, {238,216,174}, {205,186,150},
    {139,126,102}, {255,255,255}, {245,245,245}, {255,255,0}, {255,255,0}, {238,238,0},
    {205,205,0}, {139,139,0}, {154,205,50},
};

// Level of gray0 to gray100 (the same in red, green and blue).
const uint8_t k_gray_ramp[101] = {
    0, 3, 5, 8, 10, 13, 15, 18, 20, 23, 26, 28, 31, 33, 36,
    38, 41, 43, 46, 48, 51, 54, 56, 59, 61, 64, 66, 69, 71, 74,
    77, 79, 82, 84, 87, 89, 92, 94, 97, 99, 102, 105, 107, 110, 112,
    115, 117, 120, 122, 125, 127, 130, 133, 135, 138, 140, 143, 145, 148, 150,
    153, 156, 158, 161, 163, 166, 168, 171, 173, 176, 179, 181, 184, 186, 189,
    191, 194, 196, 199, 201, 204, 207, 209, 212, 214, 217, 219, 222, 224, 227,
    229, 232, 235, 237, 240, 242, 245, 247, 250, 252, 255,
};
// clang-format on
