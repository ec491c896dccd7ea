#pragma once
#include <string>

namespace veska::ui {

/// Geometry of the analog window scale, free of any toolkit: integer arithmetic with
/// truncating division, as the scale is drawn and read. W is the width of the drawing [px].
namespace range {

inline constexpr int kMargin = 10;       ///< left edge of the scale [px]
inline constexpr int kScaleShrink = 21;  ///< W - kScaleShrink is the length of the scale [px]
inline constexpr int kTextGap = 20;      ///< distance of the base line from the bottom [px]
inline constexpr int kTextTop = 17;      ///< scale texts start this far above the bottom [px]

/// x of a percentage p on a scale of full value scale.
constexpr int XOf(int width, int percent, int scale) {
    return (width - kScaleShrink) * percent / scale + kMargin;
}

/// The percentage under x, limited to 0..scale.
constexpr int PercentOf(int width, int x, int scale) {
    const int p = (x - kMargin) * scale / (width - kScaleShrink);
    if (p < 0) return 0;
    if (p > scale) return scale;
    return p;
}

/// Value written under grid line i (0..10).
constexpr int TickValue(int scale, int i) { return scale * i / 10; }

/// x of grid line i (0..10).
constexpr int TickX(int width, int scale, int i) {
    return (width - kScaleShrink) * TickValue(scale, i) / scale + kMargin;
}

/// Left edge of the text under grid line i, given the text's width [px].
constexpr int TickTextLeft(int width, int i, int textWidth) {
    return (width - kScaleShrink) * i / 10 + kMargin - textWidth / 2 - 3;
}

/// Label text of a percentage: "50 %".
inline std::string PercentText(int percent) { return std::to_string(percent) + " %"; }

/// Mouse buttons as the dialog tracks them while dragging.
enum DragButton : int { kDragLeft = 0, kDragRight = 1, kDragNone = 2 };

/// The dialog's fields and its mouse rules without a window: press, move and release
/// change begin and end exactly as on the form.
struct RangeState {
    int begin = 0;    ///< [%]
    int end = 100;    ///< [%]
    int scale = 100;  ///< [%]
    int drag = kDragNone;

    /// Returns true when the drawing must be redone. button: kDragLeft, kDragRight, or any
    /// other value for a button that changes nothing.
    bool Press(int width, int button, int x) {
        if (button == kDragLeft) {
            drag = kDragLeft;
            begin = PercentOf(width, x, scale);
        } else if (button == kDragRight) {
            drag = kDragRight;
            end = PercentOf(width, x, scale);
        } else {
            drag = kDragNone;
        }
        return true;
    }
    /// y at or below panelTop (the top of the bottom panel) is ignored.
    bool Move(int width, int x, int y, int panelTop) {
        if (y >= panelTop) return false;
        if (drag == kDragLeft) {
            begin = PercentOf(width, x, scale);
            return true;
        }
        if (drag == kDragRight) {
            end = PercentOf(width, x, scale);
            return true;
        }
        return false;
    }
    void Release() { drag = kDragNone; }
};

}  // namespace range
}  // namespace veska::ui
