// F7 and F8: turning the shown page a quarter turn.
#pragma once

// direction 1 counter-clockwise, 2 clockwise.
void rotate_page(int direction);
