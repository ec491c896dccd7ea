#include "ui/ParamGridWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>

namespace veska::ui {

namespace {

constexpr const char* kParamProperty = "veskaParam";
constexpr int kRowHeight = 18;       // [px]
constexpr int kAddressTextMax = 15;  ///< "255.255.255.255"

QString Q(const std::string& text) { return QString::fromStdString(text); }

/// Line edit with the ellipsis button at its right edge.
class EllipsisEdit final : public QLineEdit {
  public:
    explicit EllipsisEdit(QWidget* parent) : QLineEdit(parent) {
        button_ = new QToolButton(this);
        button_->setText(QStringLiteral("..."));
        button_->setFocusPolicy(Qt::NoFocus);
        button_->setCursor(Qt::ArrowCursor);
        setTextMargins(0, 0, kButtonWidth, 0);
    }
    QToolButton* Button() const { return button_; }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLineEdit::resizeEvent(event);
        button_->setGeometry(width() - kButtonWidth, 0, kButtonWidth, height());
    }

  private:
    static constexpr int kButtonWidth = 20;  // [px]
    QToolButton* button_;
};

int ParamOf(const QObject* object) {
    for (; object != nullptr; object = object->parent()) {
        const QVariant v = object->property(kParamProperty);
        if (v.isValid()) return v.toInt();
    }
    return -1;
}

QWidget* EditorOf(QObject* object) {
    for (; object != nullptr; object = object->parent()) {
        if (object->property(kParamProperty).isValid()) return qobject_cast<QWidget*>(object);
    }
    return nullptr;
}

QString EditorText(const QWidget* editor) {
    if (const auto* combo = qobject_cast<const QComboBox*>(editor)) return combo->currentText();
    if (const auto* edit = qobject_cast<const QLineEdit*>(editor)) {
        return edit->text();
    }
    return {};
}

void SetEditorText(QWidget* editor, const QString& text) {
    if (EditorText(editor) == text) return;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setEditText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
    }
}

}  // namespace

/// Per-row editors of the value column and the key filter in front of them.
class ParamCellDelegate final : public QStyledItemDelegate {
  public:
    explicit ParamCellDelegate(ParamGridWidget& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        const int param = index.row();
        const params::GridRow* shown = grid_.ShownRow(param);
        if (index.column() != 1 || shown == nullptr) return nullptr;
        const params::GridRow row = *shown;
        QWidget* editor = nullptr;
        if (row.editStyle == params::kEditPickList) {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCompleter(nullptr);
            for (const std::string& word : row.pickList) combo->addItem(Q(word));
            combo->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
            combo->lineEdit()->installEventFilter(const_cast<ParamCellDelegate*>(this));
            connect(combo->lineEdit(), &QLineEdit::textEdited, combo,
                    [this, param](const QString& t) { grid_.EditText(param, t.toStdString()); });
            // A word picked from the list is set whole.
            connect(combo, &QComboBox::activated, combo, [this, param, combo](int i) {
                grid_.EditText(param, combo->itemText(i).toStdString());
            });
            editor = combo;
        } else {
            QLineEdit* edit = nullptr;
            if (row.editStyle == params::kEditEllipsis) {
                auto* ellipsis = new EllipsisEdit(parent);
                connect(ellipsis->Button(), &QToolButton::clicked, ellipsis, [this] {
                    if (grid_.onEditButtonClick) grid_.onEditButtonClick();
                });
                edit = ellipsis;
            } else {
                edit = new QLineEdit(parent);
            }
            // An address row takes free text of digits, blanks and points: an overtyping
            // input mask would scatter "10.0.0.1" over its fixed groups. The logic checks the
            // four groups when the cell is taken over.
            if (!row.editMask.empty()) {
                edit->setMaxLength(kAddressTextMax);
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9. ]*")), edit));
            }
            connect(edit, &QLineEdit::textEdited, edit, [this, param, edit](const QString&) {
                grid_.EditText(param, EditorText(edit).toStdString());
            });
            editor = edit;
        }
        editor->setProperty(kParamProperty, param);
        editor->setContextMenuPolicy(Qt::NoContextMenu);
        editor->setAutoFillBackground(true);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        SetEditorText(editor, index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        const QString text = EditorText(editor);
        if (model->data(index, Qt::EditRole).toString() != text) {
            model->setData(index, text, Qt::EditRole);
        }
        grid_.EditText(index.row(), text.toStdString());
    }

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        const bool isEditor = object->property(kParamProperty).isValid();
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            char32_t c = 0;
            QWidget* editor = EditorOf(object);
            if (editor != nullptr && grid_.onKeyPress &&
                ParamGridWidget::KeyCharacter(key->key(), key->modifiers(), key->text(), c)) {
                const params::KeyResult result =
                    grid_.onKeyPress(c, EditorText(editor).toStdString());
                switch (result.verdict) {
                    case params::KeyVerdict::Refuse:
                        return true;
                    case params::KeyVerdict::Handled:
                        SetEditorText(editor, Q(result.text));
                        return true;
                    case params::KeyVerdict::Accept:
                        if (c == params::kKeyEscape) {
                            // The edit is dropped: the model gets the cell's text back.
                            const int param = ParamOf(editor);
                            if (QTableWidgetItem* item = grid_.item(param, 1)) {
                                grid_.EditText(param, item->text().toStdString());
                            }
                        }
                        break;
                }
            }
        }
        // Only the editor itself runs the delegate's commit and close rules.
        return isEditor ? QStyledItemDelegate::eventFilter(object, event) : false;
    }

  private:
    ParamGridWidget& grid_;
};

ParamGridWidget::ParamGridWidget(params::ParamGrid& grid, QWidget* parent)
    : QTableWidget(parent), grid_(grid) {
    setColumnCount(2);
    setHorizontalHeaderLabels({QString(), QString()});
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(0, kKeyColumnWidth);
    setColumnWidth(1, kValueColumnWidth);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed |
                    QAbstractItemView::EditKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setMinimumHeight(0);
    setItemDelegateForColumn(1, new ParamCellDelegate(*this));
    grid_.SetObserver(this);
    connect(qApp, &QApplication::focusChanged, this, &ParamGridWidget::OnFocusChanged);
}

ParamGridWidget::~ParamGridWidget() { grid_.SetObserver(nullptr); }

void ParamGridWidget::SetTitles(const QString& key, const QString& value) {
    setHorizontalHeaderLabels({key, value});
}

GridRows ParamGridWidget::CopyRows(const params::ParamGrid& grid) {
    GridRows rows;
    rows.reserve(static_cast<size_t>(grid.ParamRowCount()));
    for (int r = 0; r < grid.ParamRowCount(); ++r) rows.push_back(grid.Row(r));
    return rows;
}

void ParamGridWidget::Refresh() { ShowRows(CopyRows(grid_), grid_.CurrentParam()); }

void ParamGridWidget::CellChanged(int param) { ShowCell(param, grid_.CellText(param)); }

void ParamGridWidget::MarkChanged(int param) {
    if (param < 0 || param >= grid_.ParamRowCount()) return;
    const params::GridRow& row = grid_.Row(param);
    ShowMark(param, row.unsent, row.markNote);
}

QColor ParamGridWidget::UnsentColour() { return QColor(255, 226, 150); }

void ParamGridWidget::ShowMark(int param, bool unsent, const std::string& note) {
    if (param < 0 || param >= static_cast<int>(rows_.size())) return;
    params::GridRow& row = rows_[static_cast<size_t>(param)];
    row.unsent = unsent;
    row.markNote = note;
    PaintMark(param);
}

void ParamGridWidget::PaintMark(int r) {
    const params::GridRow& row = rows_[static_cast<size_t>(r)];
    // The mark changes no text: an open editor must not be handed the cell's text again (the
    // model's change signal would do that and drop what the operator is typing), so the
    // cells are repainted by hand.
    const QSignalBlocker quiet(model());
    for (int column : {0, 1}) {
        QTableWidgetItem* cell = item(r, column);
        if (cell == nullptr) continue;
        if (row.unsent) {
            cell->setBackground(UnsentColour());
        } else {
            cell->setData(Qt::BackgroundRole, QVariant());
        }
        QFont font = cell->font();
        if (font.bold() != row.unsent) {
            font.setBold(row.unsent);
            cell->setFont(font);
        }
        // What the row takes, and for a marked row what the sensor holds.
        std::string note = row.allowedNote;
        if (!row.markNote.empty()) note += (note.empty() ? "" : "\n") + row.markNote;
        const QString tip = QString::fromStdString(note);
        if (cell->toolTip() != tip) cell->setToolTip(tip);
        viewport()->update(visualItemRect(cell));
    }
}

const params::GridRow* ParamGridWidget::ShownRow(int param) const {
    if (param < 0 || param >= static_cast<int>(rows_.size())) return nullptr;
    return &rows_[static_cast<size_t>(param)];
}

void ParamGridWidget::EditText(int param, const std::string& text) {
    if (param >= 0 && param < static_cast<int>(rows_.size())) {
        // An editor commits its text whenever it loses the focus, also to a dialog the logic
        // opens: a text the cell already shows is no edit, and must not overtake the logic.
        std::string& shown = rows_[static_cast<size_t>(param)].value;
        if (shown == text) return;
        shown = text;
    }
    if (onEditCell) {
        onEditCell(param, text);
    } else {
        grid_.EditCell(param, text);
    }
}

void ParamGridWidget::ShowRows(GridRows rows, int currentParam) {
    rows_ = std::move(rows);
    programmatic_ = true;
    const int count = static_cast<int>(rows_.size());
    if (rowCount() != count) setRowCount(count);
    for (int r = 0; r < count; ++r) {
        const params::GridRow& row = rows_[static_cast<size_t>(r)];
        QTableWidgetItem* key = item(r, 0);
        if (key == nullptr) {
            key = new QTableWidgetItem;
            key->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            setItem(r, 0, key);
        }
        if (key->text() != Q(row.key)) key->setText(Q(row.key));
        QTableWidgetItem* value = item(r, 1);
        if (value == nullptr) {
            value = new QTableWidgetItem;
            value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
            setItem(r, 1, value);
        }
        if (value->text() != Q(row.value)) value->setText(Q(row.value));
        PaintMark(r);
    }
    if (count > 0 && !currentIndex().isValid()) {
        const int current = std::clamp(currentParam, 0, count - 1);
        setCurrentIndex(model()->index(current, 1));
    }
    programmatic_ = false;
}

void ParamGridWidget::ShowCell(int param, const std::string& text) {
    if (param < 0 || param >= static_cast<int>(rows_.size())) return;
    rows_[static_cast<size_t>(param)].value = text;
    QTableWidgetItem* value = item(param, 1);
    if (value == nullptr) return;
    const QString q = Q(text);
    if (value->text() != q) value->setText(q);  // an open editor follows (setEditorData)
}

QWidget* ParamGridWidget::OpenEditor() const {
    for (QWidget* w : viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->property(kParamProperty).isValid() && w->isVisible()) return w;
    }
    return nullptr;
}

void ParamGridWidget::EditCurrent() {
    const QModelIndex index = currentIndex();
    if (index.isValid()) edit(model()->index(index.row(), 1));
}

bool ParamGridWidget::KeyCharacter(int key, Qt::KeyboardModifiers modifiers, const QString& text,
                                   char32_t& c) {
    switch (key) {
        case Qt::Key_Backspace:
            c = params::kKeyBackspace;
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            c = params::kKeyEnter;
            return true;
        case Qt::Key_Escape:
            c = params::kKeyEscape;
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;
        default:
            break;
    }
    // Control with a letter types the control character (Ctrl+V is 22), as a text box sees it.
    if ((modifiers & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        c = static_cast<char32_t>(key - Qt::Key_A + 1);
        return true;
    }
    if (text.isEmpty()) return false;
    const QList<uint> ucs4 = text.toUcs4();
    if (ucs4.isEmpty() || ucs4.front() == 127) return false;  // Delete produces no character
    c = ucs4.front();
    return true;
}

void ParamGridWidget::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (!reverting_ && !programmatic_ && current.isValid() &&
        (!previous.isValid() || current.row() != previous.row()) && onSelectCell) {
        if (!onSelectCell(current.row() + 1)) {
            QTableWidget::currentChanged(current, previous);
            reverting_ = true;
            selectionModel()->setCurrentIndex(
                previous, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            reverting_ = false;
            // A mouse press selects the clicked row after this returns: the highlight goes
            // back to the row that stays current once the press is done.
            QTimer::singleShot(0, this, [this] {
                const QModelIndex index = currentIndex();
                if (index.isValid()) {
                    selectionModel()->select(
                        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                }
            });
            return;
        }
    }
    QTableWidget::currentChanged(current, previous);
    if (current.isValid() && current.column() != 1) {
        // The value cell is the one that edits; keys are only shown.
        QTimer::singleShot(0, this, [this, row = current.row()] {
            if (currentIndex().row() == row && currentIndex().column() != 1) {
                const bool was = programmatic_;
                programmatic_ = true;
                setCurrentIndex(model()->index(row, 1));
                programmatic_ = was;
            }
        });
    }
}

QModelIndex ParamGridWidget::moveCursor(CursorAction cursorAction,
                                        Qt::KeyboardModifiers modifiers) {
    QModelIndex index = QTableWidget::moveCursor(cursorAction, modifiers);
    if (index.isValid() && index.column() != 1) index = model()->index(index.row(), 1);
    return index;
}

void ParamGridWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // The context menu moves the current row to the one under the mouse (contextMenuEvent).
        event->accept();
        return;
    }
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (index.isValid() && index.column() == 0) {
        const QPointF mapped(columnViewportPosition(1) + 2, pos.y());
        QMouseEvent onValue(event->type(), mapped, viewport()->mapToGlobal(mapped), event->button(),
                            event->buttons(), event->modifiers());
        QTableWidget::mousePressEvent(&onValue);
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void ParamGridWidget::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (!isEnabled() || popupMenu_ == nullptr) return;
    // The menu acts on the row under the mouse: that row becomes current first (taking the
    // edited cell over as any row change does). A refused change opens no menu.
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex under = indexAt(viewport()->mapFromGlobal(event->globalPos()));
        if (under.isValid() && under.row() != currentIndex().row()) {
            setCurrentIndex(model()->index(under.row(), 1));
            if (currentIndex().row() != under.row()) return;
        }
    }
    if (onContextPopup && !onContextPopup()) return;
    popupMenu_->popup(event->globalPos());
}

bool ParamGridWidget::Contains(const QWidget* widget) const {
    return widget != nullptr && (widget == this || isAncestorOf(widget));
}

void ParamGridWidget::OnFocusChanged(QWidget* old, QWidget* now) {
    if (!onExit || !Contains(old) || now == nullptr || Contains(now)) return;
    if (now->window() != window()) return;  // a dialog or menu on top: the grid keeps its place
    onExit();
}

}  // namespace veska::ui
