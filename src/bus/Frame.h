#pragma once

#include "bus/RxParser.h"

#include <QByteArray>
#include <QString>

namespace qvr {

// Frames on the panel bus are one line of ASCII text:
//   ":" kind(";" request, ":" answer) address(3 digits) ":" command [" " params] "&" checksum CR LF
// The checksum is the two's complement of the byte sum, written with printable characters
// so that the bytes before CR LF add up to a multiple of 256.
//
// Frame texts are QStrings holding one character per byte (Latin-1); that is also how they
// go on the wire.

// The bytes of a frame text as transmitted (characters above U+00FF become '?').
QByteArray FrameBytes(const QString &frame);

// The checksum value c (0 to 255) of a text that already ends in "&": (bytes + c) % 256 == 0.
int ChecksumValue(const QString &textWithSeparator);

// The printable checksum text for a value 0 to 255, chosen so its character codes add up
// to the value modulo 256:
//    0- 55 "dZ" + (c+66)    56- 64 "zz" + (c+12)    65-121 (c)
//  122-178 "9"  + (c-57)   179-236 "r"  + (c-114)  237-255 "VV" + (c-172)
QString ChecksumText(int value);

// The complete frame for a frame text: text + "&" + checksum text + CR LF.
QString CompleteFrame(const QString &text);

} // namespace qvr
