#pragma once
#include <QTableWidget>
#include <functional>
#include <string>
#include <vector>

#include "params/ParamGrid.h"

class QMenu;

namespace veska::ui {

/// Copies of the grid model's rows, as a view shows them.
using GridRows = std::vector<params::GridRow>;

/// ValueListEditorParam: the two-column key/value grid of parameters 0..36 (column widths
/// 170 and 177 px), a view of params::ParamGrid. Row r of the table is the model's parameter r
/// (the header is the model's title row). The editor of the current row's value cell is
/// chosen by the row: a line edit (the IP rows with the edit mask), an editable pick list, or
/// a line edit with an ellipsis button. Every typed character goes through onKeyPress first;
/// every text the operator types is pushed into the model at once, so the logic always sees
/// what the cell shows. The grid's events go to the callbacks; the widget decides nothing.
///
/// The widget draws from its own copy of the rows, so it never reads the model while another
/// thread changes it. Used on one thread, it observes the model itself; when the model lives on
/// the logic thread, the window's view adapter observes it instead and hands the widget copies
/// (ShowRows, ShowCell), and onEditCell carries the operator's texts to the model.
class ParamGridWidget final : public QTableWidget, public params::GridObserver {
  public:
    static constexpr int kKeyColumnWidth = 170;    ///< [px]
    static constexpr int kValueColumnWidth = 177;  ///< [px]

    /// grid must outlive the widget; the widget observes it.
    explicit ParamGridWidget(params::ParamGrid& grid, QWidget* parent = nullptr);
    ~ParamGridWidget() override;

    // Events of the grid, wired to the logic by the window.
    /// A row (1..37, counting the title row as 0) is about to become current; false keeps
    /// the old row current.
    std::function<bool(int newRow)> onSelectCell;
    /// The grid lost the focus to another control of the same window.
    std::function<void()> onExit;
    /// The context menu is about to open; false: it does not.
    std::function<bool()> onContextPopup;
    /// The ellipsis button of the current row was pressed.
    std::function<void()> onEditButtonClick;
    /// The key filter: verdict on character c typed into an editor holding editorText.
    std::function<params::KeyResult(char32_t c, const std::string& editorText)> onKeyPress;

    /// PopupMenuParam, shown by the context menu; not owned.
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    /// Column titles (the model's title row).
    void SetTitles(const QString& key, const QString& value);

    /// The operator's text of a cell, to be pushed into the model; unset: the widget calls
    /// the model's EditCell itself.
    std::function<void(int param, const std::string& text)> onEditCell;

    /// Shows the model's rows and texts again (read from the model on the calling thread).
    void Refresh();
    /// Shows a copy of the model's rows; currentParam: the row made current when none is.
    void ShowRows(GridRows rows, int currentParam);
    /// Shows a new text in a parameter's value cell.
    void ShowCell(int param, const std::string& text);
    /// Marks a row whose working value is not on the sensor (a tinted, bold row whose
    /// tooltip is note), or unmarks it.
    void ShowMark(int param, bool unsent, const std::string& note);
    /// Background of a marked row.
    static QColor UnsentColour();
    /// The rows of a model, copied.
    static GridRows CopyRows(const params::ParamGrid& grid);

    // params::GridObserver (the model on this widget's thread)
    void GridRebuilt() override { Refresh(); }
    void CellChanged(int param) override;
    void MarkChanged(int param) override;

    /// The shown copy of a parameter's row, or null.
    const params::GridRow* ShownRow(int param) const;
    /// The operator changed a cell's text: keeps it and hands it to the model.
    void EditText(int param, const std::string& text);
    /// The open editor of the value cell, or null.
    QWidget* OpenEditor() const;
    /// Opens the editor of the current row's value cell.
    void EditCurrent();

    /// Maps a key press to the character the filter judges; false for keys that produce no
    /// character (arrows, Delete, Tab, function keys), which never reach the filter.
    static bool KeyCharacter(int key, Qt::KeyboardModifiers modifiers, const QString& text,
                             char32_t& c);

  protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    friend class ParamCellDelegate;
    /// Paints row r's mark from the shown copy.
    void PaintMark(int r);
    void OnFocusChanged(QWidget* old, QWidget* now);
    bool Contains(const QWidget* widget) const;

    params::ParamGrid& grid_;  ///< read and written on this widget's thread only when observed
    GridRows rows_;            ///< the rows as shown
    QMenu* popupMenu_ = nullptr;
    bool reverting_ = false;     ///< putting the old row back after a refused change
    bool programmatic_ = false;  ///< the widget itself moves the current row
};

}  // namespace veska::ui
