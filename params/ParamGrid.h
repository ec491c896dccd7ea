#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/ParamTable.h"

namespace veska::lang {
class TextTable;
}

namespace veska::params {

/// Edit mask of the IP address rows 22..25, in the classic notation: '0' a required digit,
/// '9' an optional digit, '.' a literal. (Qt's QLineEdit writes the same mask as
/// "009.009.009.009" and must keep blanks as spaces in the text handed back.)
inline constexpr const char* kDottedQuadMask = "990.990.990.990";

/// One value row of the grid (grid row param + 1; grid row 0 is the title row).
struct GridRow {
    std::string key;    ///< the parameter's name as of the last build
    std::string value;  ///< the value cell's text as the operator sees it
    EditStyle editStyle = kEditPlain;
    /// Longest text the key filter lets the operator type; words picked from the list are
    /// set whole, whatever their length.
    int maxLength = 0;
    std::vector<std::string> pickList;  ///< pick-list rows only
    std::string editMask;               ///< rows 22..25 only
    /// The working value is not what the sensor holds (an unsent edit, a value from a file,
    /// or a sensor value that is not known); the view marks the row.
    bool unsent = false;
    /// What the mark explains, plain text: the sensor's value in the row's own text. Empty
    /// for an unmarked row.
    std::string markNote;
    /// What the row takes, plain text ("Allowed: 1 … 127"), for its tooltip.
    std::string allowedNote;
};

/// Told about every change the model makes to the grid, so that a view can follow it.
/// Texts the view pushes in with ParamGrid::EditCell are not echoed back.
class GridObserver {
  public:
    virtual ~GridObserver() = default;
    /// Rows were created or every row's texts and pick lists were refreshed.
    virtual void GridRebuilt() = 0;
    /// The value text of one parameter's row changed.
    virtual void CellChanged(int param) = 0;
    /// The unsent mark or its note of one parameter's row changed.
    virtual void MarkChanged(int param) = 0;
};

/// The parameter grid as a model: the title captions and the rows of parameters 0..36.
/// It also holds `currentParam`, the parameter whose row was last selected (0 at start):
/// the grid's events own it and the transfer operations read it from here, so it lives
/// beside the rows it indexes instead of being passed around.
///
/// The table and the texts are borrowed: both belong to the program state and must outlive
/// the grid. Single-threaded: used from the user-interface thread only.
class ParamGrid {
  public:
    ParamGrid(const ParamTable& table, const lang::TextTable& texts);

    const ParamTable& Table() const { return table_; }
    const lang::TextTable& Texts() const { return texts_; }

    /// True once the first build created the 37 value rows.
    bool Built() const { return rows_.size() == static_cast<size_t>(kGridParamCount); }
    /// Rows including the title row: 1 before the first build, 38 after it.
    int RowCount() const { return static_cast<int>(rows_.size()) + 1; }
    /// Value rows present (0 or 37).
    int ParamRowCount() const { return static_cast<int>(rows_.size()); }

    const std::string& KeyTitle() const { return keyTitle_; }
    const std::string& ValueTitle() const { return valueTitle_; }
    /// Titles from PARAM TABLE Item_0 and Item_1.
    void SetTitles();

    /// The row of parameter param (0 <= param < ParamRowCount()).
    const GridRow& Row(int param) const { return rows_.at(param); }
    /// The value text of a parameter's row; empty for a row that does not exist.
    const std::string& CellText(int param) const;

    /// The view pushes the operator's text into the model (no notification back).
    void EditCell(int param, std::string text);
    /// The model sets a cell; notifies the observer.
    void SetCellText(int param, std::string text);

    int CurrentParam() const { return currentParam_; }
    void SetCurrentParam(int param) { currentParam_ = param; }

    /// The view that follows the model; null for none. Not owned.
    void SetObserver(GridObserver* observer) { observer_ = observer; }

    // Used by BuildParamGrid.
    void AppendRow(GridRow row) { rows_.push_back(std::move(row)); }
    void SetPickList(int param, std::vector<std::string> list);
    void SetRowTexts(int param, std::string key, std::string allowedNote);
    void SetEditMask(int param, std::string mask);
    void NotifyRebuilt();
    /// Sets a row's unsent mark and note; notifies the observer when they changed and notify
    /// is set.
    void SetMark(int param, bool unsent, std::string note, bool notify = true);

  private:
    bool Has(int param) const { return param >= 0 && param < ParamRowCount(); }

    const ParamTable& table_;
    const lang::TextTable& texts_;
    std::string keyTitle_;
    std::string valueTitle_;
    std::vector<GridRow> rows_;
    int currentParam_ = 0;
    GridObserver* observer_ = nullptr;
};

/// Outcome of an action that takes a cell's text over. On failure `error` is the general
/// error report naming the rejected text; the working values are unchanged and the event
/// that ran the action must not go on.
struct GridResult {
    bool ok = true;
    std::string error;
    explicit operator bool() const { return ok; }
};

/// Fills or refreshes the grid from workValues 0..36: the first build creates the rows with
/// their key, edit style and maximum length; later builds keep them and refresh the value
/// texts, pick lists and masks. Sets resultDivisor from parameter 36 (50000 or 37500, else 1).
void BuildParamGrid(ParamGrid& grid, const ValueStores& values, uint16_t& resultDivisor);

/// Takes the text of the cell of grid.CurrentParam() over into workValues, by the row's
/// coding. A range-checked row whose text is empty gets its old text back silently. A text
/// the coding cannot convert, or whose value the row may not send (out of its range, not
/// in its list, not a whole step), gives a failed result naming what is allowed; nothing
/// changes and the cell keeps the text for correction.
/// A cell still showing exactly the text of its stored value keeps that value.
/// Does nothing before the first build.
GridResult ApplyGridCell(ParamGrid& grid, ValueStores& values);

/// A row is about to be selected (newRow counts grid rows, 1..37): ApplyGridCell, then
/// currentParam := newRow - 1 when that succeeded. A failure keeps the old row current.
GridResult OnSelectCell(ParamGrid& grid, ValueStores& values, int newRow);

/// The grid loses the focus.
GridResult OnGridExit(ParamGrid& grid, ValueStores& values);

/// The context menu is about to open; its actions run only when the result is ok.
GridResult OnContextPopup(ParamGrid& grid, ValueStores& values);

/// What the ellipsis button hands the range dialog.
struct RangeDialogRequest {
    GridResult result;  ///< failure: show result.error, open no dialog
    bool open = false;  ///< the current row is that of parameter 11 or 12
    int32_t beginPercent = 0;
    int32_t endPercent = 0;
};

/// The two percentages for the range dialog: integer(text of the rows of parameters 11
/// and 12). A text that does not convert fails as ApplyGridCell does.
RangeDialogRequest RangeDialogPercents(const ParamGrid& grid);

/// The ellipsis button of a row was pressed: ApplyGridCell, then, when the current row is
/// that of parameter 11 or 12, the percentages to hand the dialog.
RangeDialogRequest OnEditButtonClick(ParamGrid& grid, ValueStores& values);

/// The range dialog closed (whatever the way) with begin p1 and end p2 [percent]: rows of
/// parameters 11 and 12 show them, workValues 11 and 12 become round(p x 65534 x 0.01).
/// Nothing is sent to the sensor.
void ApplyRangeDialog(ParamGrid& grid, ValueStores& values, int32_t p1, int32_t p2);

/// Verdict of the key filter on one typed character.
enum class KeyVerdict {
    Accept,   ///< let the editor take the character
    Refuse,   ///< drop it and give a simple beep
    Handled,  ///< drop it without a beep; the model set the cell (KeyResult::text)
};

struct KeyResult {
    KeyVerdict verdict = KeyVerdict::Accept;
    std::string text;  ///< the cell's new text when Handled
};

inline constexpr char32_t kKeyBackspace = 8;
inline constexpr char32_t kKeyEnter = 13;
inline constexpr char32_t kKeyEscape = 27;

/// Filters character c typed into the row of grid.CurrentParam() whose editor holds
/// editorText. Decimal rows take '0'..'9' and '-' only, hexadecimal rows '0'..'9', 'a'..'f',
/// 'A'..'F'; both refuse a character once the text has maxLength characters, even when the
/// text is selected. Backspace, Enter and Escape pass in both, whatever the length. In an IP row
/// Enter re-formats the cell and every other character goes to the edit mask. Keys that
/// produce no character (Delete, arrows) never reach the filter.
KeyResult FilterKey(ParamGrid& grid, char32_t c, std::string_view editorText);

}  // namespace veska::params
