// The windows' font: "MS Sans Serif" at 8 points where it exists, otherwise the closest
// metric match the system has.
#pragma once

#include <QFont>
#include <QStringList>

namespace varnix {

inline QFont WindowFont() {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arimo", "Arial",
                      "DejaVu Sans Condensed", "Sans Serif"});
    font.setPointSize(8);
    return font;
}

}  // namespace varnix
