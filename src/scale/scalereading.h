#pragma once

#include <QByteArrayView>
#include <QString>

namespace wip {

// One line of a scale's continuous output, read exactly. Most weighing scales
// send, several times a second, a header that says whether the weight is
// steady, whether it is gross or net, and the weight with its unit:
//
//   "ST,GS,+0012.345 g"   stable, gross: 12.345 g
//   "ST,NT,+0012.345g"    stable, net (tared): 12.345 g
//   "US,GS,+0012.3 g"     still moving: shown, never taken
//   "ST,GS,+0000.01240 kg" 12.400 g (kilograms moved three places, exactly)
//   "ST,GS,+0012.3450 g"  12.345 g (a fourth decimal of 0 rounds nothing)
//   "ST,GS,+0012.3456 g"  refused: it would have to be rounded to the milligram
//   "OL,GS,+9999999 g"    refused: overload
//   "ST,GS,-0000.120 g"   refused: the scale needs zeroing
//   "@#x", "ST,GS"        garbled (a wrong speed or frame gives such lines)
//
// Blanks around the fields, after the sign and before the unit, and the CR/LF
// that end the line are allowed; the grams are the text DeskInput::weight
// reads, with the decimals the scale sent (at most three).
struct ScaleReading
{
    enum class Kind {
        Blank,      // an empty line: nothing to say
        Stable,     // a steady weight: grams
        Unstable,   // a moving weight: shown (the weight as sent), never taken
        Refused,    // a steady line that is no weight Wip may take: why
        Garbled,    // not a line of a scale: why
    };

    Kind kind = Kind::Blank;
    QString grams;   // Stable: "12.345", "0.000"
    QString shown;   // Stable, Unstable, Refused: the weight as sent, "12.3456 g"
    bool net = false;
    QString why;     // Refused, Garbled: the reason, for the clerk

    bool isZero() const;   // a stable reading of nothing on the scale

    static ScaleReading parse(QByteArrayView line);
};

} // namespace wip
