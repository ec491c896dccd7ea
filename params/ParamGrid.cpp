#include "params/ParamGrid.h"

#include <algorithm>

#include "lang/Language.h"
#include "params/ParamCodings.h"
#include "params/SensorSet.h"
#include "params/ValueRange.h"

namespace veska::params {

namespace {

constexpr int kKeyTitle = 0;    ///< PARAM TABLE key of the key column's title
constexpr int kValueTitle = 1;  ///< PARAM TABLE key of the value column's title

constexpr int32_t kUartBaudUnit = 2400;
constexpr int32_t kLockTimeUnit = 5;
constexpr int32_t kCanBaudUnit = 5000;
constexpr int64_t kZeroPointScale = 16384;

/// Characters of a UTF-8 text (continuation bytes do not count).
size_t CharacterCount(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

GridResult Failure(const std::string& text) {
    return GridResult{false, InvalidIntegerReport(text)};
}

/// Everything one coding's take-over needs.
struct CellContext {
    ParamGrid& grid;
    ValueStores& values;
    int param;
    const std::string& text;

    const ParamDescriptor& Row() const { return grid.Table()[param]; }
    int32_t& Value() const { return values.workValues[param]; }
    const lang::TextTable& Texts() const { return grid.Texts(); }
    std::string Word(int key) const { return Texts().ParamValue(key); }
    /// A value the row may send (its limits, its size, its list).
    bool Allowed(int64_t n) const {
        return n >= INT32_MIN && n <= INT32_MAX &&
               Writable(grid.Table(), param, static_cast<int32_t>(n), Texts());
    }
    /// The refusal naming what is allowed; the cell keeps the text for correction.
    GridResult Refused() const {
        return GridResult{false, RefusedEntryText(grid.Table(), param, text, Texts())};
    }
    /// Shows the stored value again without changing it.
    void Restore() const {
        grid.SetCellText(param, RestoredText(grid.Table(), param, Value(), Texts()));
    }
    /// Restores only when the cell does not already show the stored value's text.
    void ShowStored() const {
        if (RestoredText(grid.Table(), param, Value(), Texts()) != text) Restore();
    }
    /// True when the text is one of the row's words; otherwise the failure names them.
    bool IsWord(GridResult& failure) const {
        const std::vector<std::string> words = PickList(param, Texts());
        if (std::find(words.begin(), words.end(), text) != words.end()) return true;
        failure = GridResult{false, WordReport(text, words)};
        return false;
    }
};

using TakeOver = GridResult (*)(const CellContext&);

/// A two-word row: the text must be one of its words.
GridResult TakeWord(const CellContext& c, int zeroWord) {
    GridResult failure;
    if (!c.IsWord(failure)) return failure;
    c.Value() = c.text == c.Word(zeroWord) ? 0 : 1;
    return {};
}

/// v := integer(t) / divisor; the text must be a whole multiple of the divisor and give a
/// value the row may send. The cell then shows what was stored.
GridResult TakeScaled(const CellContext& c, int32_t divisor) {
    int32_t n = 0;
    if (!ParseInteger(c.text, n)) return Failure(c.text);
    if (n % divisor != 0 || !c.Allowed(n / divisor)) return c.Refused();
    c.Value() = n / divisor;
    c.ShowStored();
    return {};
}

GridResult TakeOnOff(const CellContext& c) { return TakeWord(c, kWordOff); }
GridResult TakeCanIdentifier(const CellContext& c) { return TakeWord(c, kWordCanStandardId); }
GridResult TakeUartBaud(const CellContext& c) { return TakeScaled(c, kUartBaudUnit); }
GridResult TakePickDecimal(const CellContext& c) { return TakeScaled(c, 1); }
GridResult TakeLockTime(const CellContext& c) { return TakeScaled(c, kLockTimeUnit); }
GridResult TakeCanBaud(const CellContext& c) { return TakeScaled(c, kCanBaudUnit); }

GridResult TakeControlByte(const CellContext& c) {
    GridResult failure;
    if (!c.IsWord(failure)) return failure;
    std::array<int32_t, kParamCount>& w = c.values.workValues;
    int32_t b = w[kRowControlSample] | w[kRowCanMode] | w[kRowAlControl] | w[kRowWindowControl];
    b = ComposeControlByte(c.param, c.text, b, c.Texts());
    for (int row :
         {kRowControlSample, kRowCanMode, kRowAlControl, kRowWindowControl, kRowAveragingMode}) {
        w[row] = b;
    }
    c.grid.SetCellText(kRowControlSample, ControlByteWord(kRowControlSample, b, c.Texts()));
    std::string canWord = ControlByteWord(kRowCanMode, b, c.Texts());
    if (!canWord.empty()) c.grid.SetCellText(kRowCanMode, canWord);
    return {};
}

/// Range-checked decimal: empty restores, other text must convert and lie in the range.
GridResult TakeChecked(const CellContext& c) {
    if (c.text.empty()) {
        c.Restore();
        return {};
    }
    int32_t n = 0;
    if (!ParseInteger(c.text, n)) return Failure(c.text);
    if (!c.Allowed(n)) return c.Refused();
    c.Value() = n;
    return {};
}

/// Row 14: the text is [1/1000 of 16384 counts]; range-checked after scaling.
GridResult TakeZeroPoint(const CellContext& c) {
    if (c.text.empty()) {
        c.Restore();
        return {};
    }
    int32_t n = 0;
    if (!ParseInteger(c.text, n)) return Failure(c.text);
    int64_t scaled = int64_t{n} * kZeroPointScale;
    if (!c.Allowed(scaled / 1000) || !c.Allowed((scaled + 500) / 1000)) return c.Refused();
    c.Value() = static_cast<int32_t>((scaled + 500) / 1000);
    return {};
}

/// Clamps the stored value into the row's limits; the text is not taken over.
GridResult TakePercent(const CellContext& c) {
    int32_t& v = c.Value();
    v = std::clamp(v, c.Row().minimum, c.Row().maximum);
    c.Restore();
    return {};
}

GridResult TakeHex(const CellContext& c) {
    uint32_t h = 0;
    if (!IsHexText(c.text)) return GridResult{false, HexReport(c.text)};
    // A value beyond 32 bits is above every maximum.
    if (!ParseHex(c.text, h) || int64_t{h} > c.Row().maximum) return c.Refused();
    c.Value() = static_cast<int32_t>(h);
    c.Restore();
    return {};
}

GridResult TakeDottedQuad(const CellContext& c) {
    uint32_t address = 0;
    if (!ParseDottedQuad(c.text, address)) return GridResult{false, DottedQuadReport(c.text)};
    c.Value() = static_cast<int32_t>(address);
    c.Restore();
    return {};
}

GridResult TakeLanMode(const CellContext& c) { return TakeWord(c, kWordOff); }

GridResult TakeNothing(const CellContext&) { return {}; }

TakeOver TakeOverOf(Coding coding) {
    switch (coding) {
        case Coding::OnOff:
            return TakeOnOff;
        case Coding::UartBaud:
            return TakeUartBaud;
        case Coding::PickDecimal:
            return TakePickDecimal;
        case Coding::ControlByte:
            return TakeControlByte;
        case Coding::Decimal:
        case Coding::Signed16:
            return TakeChecked;
        case Coding::Percent:
            return TakePercent;
        case Coding::LockTime:
            return TakeLockTime;
        case Coding::ZeroPoint:
            return TakeZeroPoint;
        case Coding::Hex:
            return TakeHex;
        case Coding::CanBaud:
            return TakeCanBaud;
        case Coding::CanIdentifier:
            return TakeCanIdentifier;
        case Coding::DottedQuad:
            return TakeDottedQuad;
        case Coding::LanMode:
            return TakeLanMode;
        case Coding::Divisor:
            return TakeNothing;
    }
    return TakeNothing;
}

/// Backspace deletes, Enter takes the cell over, Escape cancels the edit, as in any table;
/// none adds a character, so the length limit does not hold them back.
bool IsEditingKey(char32_t c) { return c == kKeyBackspace || c == kKeyEnter || c == kKeyEscape; }

bool IsDecimalKey(char32_t c) { return (c >= '0' && c <= '9') || c == '-'; }

bool IsHexKey(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

ParamGrid::ParamGrid(const ParamTable& table, const lang::TextTable& texts)
    : table_(table), texts_(texts) {
    SetTitles();
}

void ParamGrid::SetTitles() {
    keyTitle_ = texts_.Get(lang::Section::ParamTable, kKeyTitle);
    valueTitle_ = texts_.Get(lang::Section::ParamTable, kValueTitle);
}

const std::string& ParamGrid::CellText(int param) const {
    static const std::string kNone;
    return Has(param) ? rows_[param].value : kNone;
}

void ParamGrid::EditCell(int param, std::string text) {
    if (Has(param)) rows_[param].value = std::move(text);
}

void ParamGrid::SetCellText(int param, std::string text) {
    if (!Has(param)) return;
    rows_[param].value = std::move(text);
    if (observer_ != nullptr) observer_->CellChanged(param);
}

void ParamGrid::SetRowTexts(int param, std::string key, std::string allowedNote) {
    if (!Has(param)) return;
    rows_[param].key = std::move(key);
    rows_[param].allowedNote = std::move(allowedNote);
}

void ParamGrid::SetPickList(int param, std::vector<std::string> list) {
    if (Has(param)) rows_[param].pickList = std::move(list);
}

void ParamGrid::SetEditMask(int param, std::string mask) {
    if (Has(param)) rows_[param].editMask = std::move(mask);
}

void ParamGrid::SetMark(int param, bool unsent, std::string note, bool notify) {
    if (!Has(param)) return;
    GridRow& row = rows_[param];
    if (row.unsent == unsent && row.markNote == note) return;
    row.unsent = unsent;
    row.markNote = std::move(note);
    if (notify && observer_ != nullptr) observer_->MarkChanged(param);
}

void ParamGrid::NotifyRebuilt() {
    if (observer_ != nullptr) observer_->GridRebuilt();
}

void BuildParamGrid(ParamGrid& grid, const ValueStores& values, uint16_t& resultDivisor) {
    const ParamTable& table = grid.Table();
    const lang::TextTable& texts = grid.Texts();
    grid.SetTitles();
    for (int i = 0; i < kGridParamCount; ++i) {
        const ParamDescriptor& row = table[i];
        const int32_t v = values.workValues[i];
        if (grid.ParamRowCount() < kGridParamCount) {
            grid.AppendRow(GridRow{row.name,
                                   std::to_string(v),
                                   static_cast<EditStyle>(row.editStyle),
                                   row.maxLength,
                                   {},
                                   {},
                                   false,
                                   {},
                                   AllowedNote(table, i, texts)});
        } else {
            // The names and notes follow a change of language.
            grid.SetRowTexts(i, row.name, AllowedNote(table, i, texts));
        }
        if (grid.Row(i).editStyle == kEditPickList) grid.SetPickList(i, PickList(i, texts));
        if (CodingOf(i) == Coding::DottedQuad) grid.SetEditMask(i, kDottedQuadMask);
        grid.EditCell(i, ShownText(table, i, v, texts));
        if (i == kRowDivisor) {
            resultDivisor = (v == 50000 || v == 37500) ? static_cast<uint16_t>(v) : 1;
        }
    }
    UpdateGridMarks(grid, values, /*notify=*/false);
    grid.NotifyRebuilt();
}

GridResult ApplyGridCell(ParamGrid& grid, ValueStores& values) {
    const int param = grid.CurrentParam();
    if (param < 0 || param >= grid.ParamRowCount()) return {};
    const std::string text = grid.CellText(param);
    const Coding coding = CodingOf(param);
    // A cell that still shows its stored value keeps that value: several codings do not
    // map every value to a distinct text (row 14 drops fractions, a wordless control-byte
    // state shows the whole byte), so taking such a text back would change the value.
    if (coding != Coding::Percent &&
        text == ShownText(grid.Table(), param, values.workValues[param], grid.Texts())) {
        return {};
    }
    GridResult result = TakeOverOf(coding)(CellContext{grid, values, param, text});
    if (result.ok) UpdateGridMarks(grid, values);
    return result;
}

GridResult OnSelectCell(ParamGrid& grid, ValueStores& values, int newRow) {
    GridResult result = ApplyGridCell(grid, values);
    if (result.ok && newRow >= 1 && newRow <= grid.ParamRowCount()) {
        grid.SetCurrentParam(newRow - 1);
    }
    return result;
}

GridResult OnGridExit(ParamGrid& grid, ValueStores& values) { return ApplyGridCell(grid, values); }

GridResult OnContextPopup(ParamGrid& grid, ValueStores& values) {
    return ApplyGridCell(grid, values);
}

RangeDialogRequest RangeDialogPercents(const ParamGrid& grid) {
    RangeDialogRequest request;
    const int param = grid.CurrentParam();
    if (!grid.Built() || (param != kRowWindowBegin && param != kRowWindowEnd)) return request;
    for (int row : {kRowWindowBegin, kRowWindowEnd}) {
        const std::string& text = grid.CellText(row);
        int32_t& percent = row == kRowWindowBegin ? request.beginPercent : request.endPercent;
        if (!ParseInteger(text, percent)) {
            request.result = Failure(text);
            return request;
        }
    }
    request.open = true;
    return request;
}

RangeDialogRequest OnEditButtonClick(ParamGrid& grid, ValueStores& values) {
    GridResult applied = ApplyGridCell(grid, values);
    if (!applied.ok) {
        RangeDialogRequest request;
        request.result = applied;
        return request;
    }
    return RangeDialogPercents(grid);
}

void ApplyRangeDialog(ParamGrid& grid, ValueStores& values, int32_t p1, int32_t p2) {
    grid.SetCellText(kRowWindowBegin, std::to_string(p1));
    grid.SetCellText(kRowWindowEnd, std::to_string(p2));
    values.workValues[kRowWindowBegin] = WindowValueOfPercent(p1);
    values.workValues[kRowWindowEnd] = WindowValueOfPercent(p2);
    UpdateGridMarks(grid, values);
}

KeyResult FilterKey(ParamGrid& grid, char32_t c, std::string_view editorText) {
    const int param = grid.CurrentParam();
    if (param < 0 || param >= grid.ParamRowCount()) return {};
    const ParamDescriptor& row = grid.Table()[param];
    switch (row.displayKind) {
        case kDisplayDottedQuad: {
            if (c != kKeyEnter) return {};
            uint32_t address = 0;
            if (!ParseDottedQuad(editorText, address)) return {KeyVerdict::Refuse, {}};
            KeyResult result{KeyVerdict::Handled, FormatDottedQuad(address)};
            grid.SetCellText(param, result.text);
            return result;
        }
        case kDisplayDecimal:
            if (IsEditingKey(c)) return {};
            if (!IsDecimalKey(c)) return {KeyVerdict::Refuse, {}};
            break;
        case kDisplayHex:
            if (IsEditingKey(c)) return {};
            if (!IsHexKey(c)) return {KeyVerdict::Refuse, {}};
            break;
        default:
            break;
    }
    if (CharacterCount(editorText) >= row.maxLength) return {KeyVerdict::Refuse, {}};
    return {};
}

}  // namespace veska::params
