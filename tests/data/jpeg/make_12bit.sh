#!/bin/sh
# Makes the 12-bit JPEG test files with DCMTK, whose own IJG codec handles 12-bit samples (the
# Debian libjpeg-turbo does not): a grey and a colour picture (4:4:4) compressed by dcmcjpeg,
# extended sequential and progressive, and their decodes by dcmdjpeg as 8-bit PAM references,
# samples scaled by round(v * 255 / 4095) (pamdepth). Needs dcmtk, netpbm and python3-numpy.
# Run in this folder.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# name samples photometric: a 61 x 45 DICOM picture of 12-bit samples
picture() {
    /usr/bin/python3 - "$tmp/$1.raw" "$2" <<'PY'
import sys, numpy as np
y, x = np.mgrid[0:45, 0:61]
planes = [(x * 67 + y * 31) % 4096, (x * 13 + y * 90) % 4096, (4095 - x * 60) % 4096]
a = np.stack(planes[:int(sys.argv[2])], 2)
a[10:30, 20:40] = 4095
a[30:40, 5:15] = 0
a.astype('<u2').tofile(sys.argv[1])
PY
    planar=""
    [ "$2" = 3 ] && planar="(0028,0006) US 0"
    cat > "$tmp/$1.dump" <<DUMP
(0008,0016) UI =SecondaryCaptureImageStorage
(0008,0018) UI [1.2.3.4.5.6.7.8.9]
(0028,0002) US $2
(0028,0004) CS [$3]
$planar
(0028,0010) US 45
(0028,0011) US 61
(0028,0100) US 16
(0028,0101) US 12
(0028,0102) US 11
(0028,0103) US 0
(7fe0,0010) OW =$tmp/$1.raw
DUMP
    dump2dcm --write-xfer-little "$tmp/$1.dump" "$tmp/$1.dcm"
}

# picture mode output.jpg: compresses, keeps the JPEG stream and writes its reference decode
compress() {
    dcmcjpeg "$2" +s4 "$tmp/$1.dcm" "$tmp/$3.dcm"
    mkdir -p "$tmp/$3"
    dcmdump +W "$tmp/$3" "$tmp/$3.dcm" > /dev/null
    # The second item of the pixel sequence is the JPEG stream (the first, the offset table).
    cp "$tmp/$3/$3.dcm.1.raw" "$3"
    dcmdjpeg "$tmp/$3.dcm" "$tmp/plain.dcm"
    dcm2pnm +opn 12 "$tmp/plain.dcm" "$tmp/plain.pnm"
    pamdepth 255 "$tmp/plain.pnm" | pamtopam > "$3.pam"
}

picture grey 1 MONOCHROME2
picture rgb 3 RGB
compress grey --encode-extended dcmtk-grey12.jpg
compress rgb --encode-extended dcmtk-rgb12.jpg
compress rgb --encode-progressive dcmtk-rgb12-progressive.jpg
