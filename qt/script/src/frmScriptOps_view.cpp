#include "script/frmScriptOps_view.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>
#include <optional>

#include "kit/QtHost.h"
#include "script/ScriptGridModel_view.h"

namespace script {

namespace {

using kit::ControlBinder;

// The grid's left margin and its row height, in pixels.
constexpr int kMargin = 7;
constexpr int kRowHeight = 19;
// Space kept free under the grid when the window is too low for the grid's height.
constexpr int kBottomMargin = 4;
// The client width the controls need: the recording frame's right edge and a margin.
constexpr int kClientWidth = 1004;
constexpr int kStartWidth = 1040;
constexpr int kStartHeight = 680;
constexpr int kMinGridHeight = 120;
// The width a load gives a data column of at most eight characters.
constexpr int kEmptyDataColumn = 64;

bool isDataColumn(int column) {
    return column == static_cast<int>(Column::DataWr) ||
           column == static_cast<int>(Column::DataRd) || column == static_cast<int>(Column::ActRd);
}

// Paints each cell with its own background, and the selected row with an outline, so a
// selected row still shows its red and green cells.
class SelectedRowDelegate : public QStyledItemDelegate {
  public:
    SelectedRowDelegate(const ScriptGrid& grid, QObject* parent)
        : QStyledItemDelegate(parent), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        QStyledItemDelegate::paint(painter, plain, index);
        if (index.row() + 1 != grid_.SelectedRow()) {
            return;
        }
        painter->save();
        QPen pen(option.palette.color(QPalette::Highlight));
        pen.setWidth(2);
        painter->setPen(pen);
        const QRect r = option.rect.adjusted(0, 1, 0, -1);
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (index.column() == 0) {
            painter->drawLine(r.topLeft() + QPoint(1, 0), r.bottomLeft() + QPoint(1, 0));
        }
        if (index.column() + 1 == index.model()->columnCount()) {
            painter->drawLine(r.topRight(), r.bottomRight());
        }
        painter->restore();
    }

  private:
    const ScriptGrid& grid_;
};

// The grid move a key stands for; none for any other key.
std::optional<GridMove> gridMove(int key) {
    switch (key) {
        case Qt::Key_Up:
            return GridMove::Up;
        case Qt::Key_Down:
            return GridMove::Down;
        case Qt::Key_PageUp:
            return GridMove::PageUp;
        case Qt::Key_PageDown:
            return GridMove::PageDown;
        case Qt::Key_Home:
            return GridMove::Home;
        case Qt::Key_End:
            return GridMove::End;
        default:
            return std::nullopt;
    }
}

}  // namespace

QSize frmScriptOpsView::minimumClientSize() {
    return {kClientWidth, kGridTop + kMinGridHeight + kBottomMargin};
}

frmScriptOpsView::frmScriptOpsView(frmScriptOps& model, form::UserEventGate& gate,
                                   kit::QtHost& host, std::function<void()> onClose)
    : model_(model), host_(host), binder_(gate, host), onClose_(std::move(onClose)) {
    setObjectName("frmScriptOps");
    setWindowTitle(QString::fromStdString(model_.Caption));
    client_ = new QWidget(this);
    client_->setObjectName("client");
    setCentralWidget(client_);
    binder_.addContainer("", -1, client_);
    buildControls();
    buildGrid();
    binder_.buildMenus(*this, model_.menus());
    const int menuHeight = menuBar()->sizeHint().height();
    const QSize least = minimumClientSize();
    setMinimumSize(least.width(), least.height() + menuHeight);
    resize(kStartWidth, kStartHeight + menuHeight);
    rendererId_ = host.addRenderer([this] { render(); });
}

frmScriptOpsView::~frmScriptOpsView() {
    host_.removeRenderer(rendererId_);
}

void frmScriptOpsView::buildControls() {
    binder_.build(model_.controls());
}

void frmScriptOpsView::buildGrid() {
    grid_ = new QTableView(client_);
    grid_->setObjectName("vbalGrid1");
    grid_->setProperty("controlKind", "Grid");
    gridModel_ = new ScriptGridModel(model_.vbalGrid1, grid_->palette().color(QPalette::Button),
                                     grid_->palette().color(QPalette::Base), grid_);
    grid_->setModel(gridModel_);
    grid_->setItemDelegate(new SelectedRowDelegate(model_.vbalGrid1, grid_));
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid_->setWordWrap(false);
    grid_->setGeometry(kMargin, kGridTop, kClientWidth - 2 * kMargin, kMinGridHeight);
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
    // A load recreates the header's sections; the widths are applied again.
    connect(gridModel_, &QAbstractItemModel::modelReset, grid_, [this] {
        columnWidths_.fill(-1);
        selectedRow_ = -1;
    });
    // A press selects the row; a double click selects it and raises the row event. Both wait
    // while another handler runs; scrolling stays live.
    connect(grid_, &QAbstractItemView::pressed, grid_, [this](const QModelIndex& index) {
        const int row = index.row() + 1;
        binder_.dispatch([this, row] { model_.vbalGrid1.setSelectedRow(row); });
    });
    connect(grid_, &QAbstractItemView::doubleClicked, grid_, [this](const QModelIndex& index) {
        const int row = index.row() + 1;
        const int column = index.column() + 1;
        binder_.dispatch([this, row, column] {
            model_.vbalGrid1.setSelectedRow(row);
            model_.vbalGrid1_DblClick(row, column);
        });
    });
    columnWidths_.fill(-1);
}

void frmScriptOpsView::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    arrange();
}

void frmScriptOpsView::arrange() {
    // Form_Resize yields, and a yield may deliver another resize: the outer call repeats.
    if (arranging_) {
        arrangeAgain_ = true;
        return;
    }
    arranging_ = true;
    do {
        arrangeAgain_ = false;
        model_.Form_Resize(width() * form::kTwipsPerPixel, height() * form::kTwipsPerPixel,
                           isMinimized());
    } while (arrangeAgain_);
    arranging_ = false;
    placeGrid();
    renderGrid();
}

void frmScriptOpsView::placeGrid() {
    const ScriptGrid& g = model_.vbalGrid1;
    const int left = ControlBinder::pixels(g.Left);
    const int width =
        std::clamp(ControlBinder::pixels(g.Width), 0, std::max(0, client_->width() - left));
    // The grid keeps its height in a low window, but never reaches past the window's edge.
    const int room = std::max(0, client_->height() - kGridTop - kBottomMargin);
    const int height = std::clamp(ControlBinder::pixels(g.Height), 0, room);
    grid_->setGeometry(left, kGridTop, width, height);
}

void frmScriptOpsView::renderGrid() {
    const ScriptGrid& g = model_.vbalGrid1;
    if (!arranging_ && gridVisible_ != int{g.Visible}) {
        gridVisible_ = g.Visible;
        grid_->setVisible(g.Visible);
    }
    if (!g.Redraw) {
        return;
    }
    if (gridModel_->sync()) {
        measureColumns();
    }
    fitColumns();
    if (selectedRow_ != g.SelectedRow()) {
        selectedRow_ = g.SelectedRow();
        // Follow the running row up and down, leaving the horizontal position alone.
        const int row = selectedRow_ - 1;
        if (row >= 0 && row < gridModel_->rowCount()) {
            const int top = grid_->rowViewportPosition(row);
            const int rowHeight = grid_->rowHeight(row);
            const int view = grid_->viewport()->height();
            QScrollBar* bar = grid_->verticalScrollBar();
            if (top < 0) {
                bar->setValue(bar->value() + top);
            } else if (top + rowHeight > view) {
                bar->setValue(bar->value() + top + rowHeight - view);
            }
        }
    }
}

void frmScriptOpsView::measureColumns() {
    const ScriptGrid& g = model_.vbalGrid1;
    const QFontMetrics metrics(grid_->font());
    // The text margins the item delegate keeps on both sides, and the grid line.
    const int padding =
        2 * (grid_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid_) + 1) + 1;
    // No column grows past a wide data column; longer texts show in full in their tool tip.
    constexpr int kWideCharacters = kWideDataColumn / 8;
    const int widest = std::max(kWideDataColumn,
                                metrics.horizontalAdvance(QString(kWideCharacters, '0')) + padding);
    contentWidths_.fill(0);
    for (int c = 1; c < g.Columns() && c <= kColumnCount; ++c) {
        // The longest text in characters stands for the widest one: measuring every cell of a
        // long script at every repaint would cost more than it shows.
        const std::string* longest = nullptr;
        for (int r = 1; r <= g.Rows(); ++r) {
            const std::string& text = g.CellText(r, c);
            if (longest == nullptr || text.size() > longest->size()) {
                longest = &text;
            }
        }
        if (longest != nullptr && !longest->empty()) {
            const int width = metrics.horizontalAdvance(QString::fromStdString(*longest)) + padding;
            contentWidths_[static_cast<std::size_t>(c - 1)] = std::min(width, widest);
        }
    }
}

void frmScriptOpsView::fitColumns() {
    const ScriptGrid& g = model_.vbalGrid1;
    // "Comment", the last column, takes whatever room the viewport has left, so long comments
    // are not cut in a wide window and no empty strip stays when a scroll bar goes away.
    int others = 0;
    for (int c = 0; c < g.Columns() && c < kColumnCount; ++c) {
        const auto at = static_cast<std::size_t>(c);
        int width = g.ColumnWidth(c + 1);
        if (c + 1 == g.Columns()) {
            width = std::max(width, grid_->viewport()->width() - others);
        } else if (isDataColumn(c + 1) && contentWidths_[at] == 0) {
            // A data column without text (no script yet) is as narrow as a load makes it, so
            // "Comment" is not pushed out of sight.
            width = std::min(width, kEmptyDataColumn);
            others += width;
        } else {
            width = std::max(width, contentWidths_[at]);
            others += width;
        }
        if (columnWidths_[at] != width) {
            columnWidths_[at] = width;
            grid_->setColumnWidth(c, width);
        }
    }
}

bool frmScriptOpsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Shift, Ctrl and Alt as the bits 1, 2 and 4 of the key event's shift value.
        const Qt::KeyboardModifiers mods = key->modifiers();
        const int shift = (mods.testFlag(Qt::ShiftModifier) ? 1 : 0) |
                          (mods.testFlag(Qt::ControlModifier) ? 2 : 0) |
                          (mods.testFlag(Qt::AltModifier) ? 4 : 0);
        const int code = key->key();
        // The arrow, page, Home and End keys walk the rows; they run nothing.
        if (const std::optional<GridMove> move = gridMove(code)) {
            const int pageRows = std::max(1, grid_->viewport()->height() / kRowHeight);
            binder_.dispatch(
                [this, move, pageRows] { model_.vbalGrid1.moveSelection(*move, pageRows); });
            return true;
        }
        // Enter on the selected row runs it, as a double click does.
        const int selected = model_.vbalGrid1.SelectedRow();
        if ((code == Qt::Key_Return || code == Qt::Key_Enter) && selected >= 1 &&
            selected <= model_.vbalGrid1.Rows()) {
            binder_.dispatch([this, selected] { model_.actOnRow(selected); });
            return true;
        }
        bool doDefault = true;
        binder_.dispatch(
            [this, code, shift, &doDefault] { model_.vbalGrid1_KeyDown(code, shift, doDefault); });
        return !doDefault;
    }
    if (watched == grid_->viewport() && event->type() == QEvent::Resize &&
        model_.vbalGrid1.Redraw) {
        fitColumns();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmScriptOpsView::render() {
    binder_.render();
    renderGrid();
    const QString title = QString::fromStdString(model_.Caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
}

bool frmScriptOpsView::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        model_.Form_GotFocus();
    }
    return QMainWindow::event(event);
}

void frmScriptOpsView::closeEvent(QCloseEvent* event) {
    if (onClose_) {
        onClose_();
    }
    event->accept();
}

}  // namespace script
