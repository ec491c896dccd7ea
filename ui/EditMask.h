#pragma once
#include <QString>
#include <string>

namespace veska::ui {

/// The Qt input mask of a classic edit mask: '0' a required digit becomes '9', '9' an
/// optional digit becomes '0', characters that Qt reads as mask codes are escaped, anything
/// else stays a literal. The classic mask's sections after ';' are dropped. The blank stays
/// a space, so the text shown keeps the blanks of empty digit places.
inline QString QtInputMask(const std::string& classic) {
    static const QString kQtCodes = QStringLiteral("AaNnXx90Dd#HhBb><!{}[]\\");
    QString mask;
    for (char c : classic) {
        if (c == ';') break;
        if (c == '0') {
            mask += QLatin1Char('9');
        } else if (c == '9') {
            mask += QLatin1Char('0');
        } else {
            if (kQtCodes.contains(QLatin1Char(c))) mask += QLatin1Char('\\');
            mask += QLatin1Char(c);
        }
    }
    return mask;
}

}  // namespace veska::ui
