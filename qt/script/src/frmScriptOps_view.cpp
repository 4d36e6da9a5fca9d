#include "script/frmScriptOps_view.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>
#include <string_view>

#include "kit/QtHost.h"
#include "script/ScriptGridModel_view.h"

namespace script {

namespace {

using kit::ControlBinder;

// The view's own layout, in pixels; the binder takes twips.
form::ControlGeometry at(std::string_view control, std::string_view container, int left, int top,
                         int width, int height, unsigned style = form::StyleNone) {
    const int t = form::kTwipsPerPixel;
    return {control, -1, container, -1, left * t, top * t, width * t, height * t, style};
}

struct NamedBox {
    form::TextBox* box;
    const char* name;
};

constexpr int kMargin = 7;
constexpr int kFrameTop = 46;
constexpr int kRowHeight = 19;
constexpr int kBoxHeight = 19;
constexpr int kButtonHeight = 25;
constexpr int kHeadingHeight = 17;
constexpr int kTitleFontPixels = 16;
// Space kept free under the grid when the window is too low for the grid's height.
constexpr int kBottomMargin = 4;
// The client width the controls need: the recording frame's right edge and a margin.
constexpr int kClientWidth = 1004;
constexpr int kStartWidth = 1040;
constexpr int kStartHeight = 680;
// The frames of the top row end on one line, above the grid.
constexpr int kFrameHeight = 204;
constexpr int kMinGridHeight = 120;

// Splits a heading caption into its column words: they are set apart by runs of two or more
// blanks, while a single blank belongs to the word ("Detect Step").
QStringList headingWords(const std::string& caption) {
    QStringList words;
    QString word;
    int blanks = 0;
    for (const QChar c : QString::fromStdString(caption)) {
        if (c == ' ') {
            ++blanks;
            continue;
        }
        if (blanks >= 2 && !word.isEmpty()) {
            words << word;
            word.clear();
        } else if (blanks == 1 && !word.isEmpty()) {
            word += ' ';
        }
        blanks = 0;
        word += c;
    }
    if (!word.isEmpty()) {
        words << word;
    }
    return words;
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
    frames_[""] = client_;
    buildControls();
    buildGrid();
    buildMenu();
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
    frmScriptOps& m = model_;
    QWidget* c = client_;

    // Title band and the window's default address.
    auto* band = new QFrame(c);
    band->setObjectName("picTitle");
    band->setProperty("controlKind", "Picture");
    band->setGeometry(kMargin, 6, 820, 32);
    band->setFrameShape(QFrame::Panel);
    band->setFrameShadow(QFrame::Sunken);
    band->setAutoFillBackground(true);
    QPalette bandColours = band->palette();
    bandColours.setColor(QPalette::Window, QColor(0, 0, 128));
    bandColours.setColor(QPalette::WindowText, Qt::white);
    band->setPalette(bandColours);
    auto* title = new QLabel(band);
    title->setObjectName("lblTitle");
    title->setTextFormat(Qt::PlainText);
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(band->contentsRect());
    QFont titleFont = title->font();
    titleFont.setPixelSize(kTitleFontPixels);
    titleFont.setBold(true);
    title->setFont(titleFont);
    renders_.push_back([band, title, &m, caption = std::string(), set = false]() mutable {
        band->setVisible(m.picTitle.Visible);
        title->setVisible(m.lblTitle.Visible);
        if (!set || caption != m.lblTitle.Caption) {
            caption = m.lblTitle.Caption;
            set = true;
            title->setText(QString::fromStdString(caption));
        }
    });
    binder_.label(m.lblI2CAdr, c,
                  at("lblI2CAdr", "", 840, 12, 100, kRowHeight, form::StyleRightAlign));
    QLineEdit* address = binder_.textBox(
        m.txtI2CAdr, c, at("txtI2CAdr", "", 946, 12, 51, kBoxHeight, form::StyleCentred));
    binder_.onKeyPress(address, [this](int& key) { model_.txtI2CAdr_KeyPress(key); });

    // "Script Control".
    auto* exec = binder_.frame(m.frmScriptExec, c,
                               at("frmScriptExec", "", kMargin, kFrameTop, 330, kFrameHeight));
    const char* e = "frmScriptExec";
    binder_.button(m.cmdExecAll, exec, at("cmdExecAll", e, 10, 24, 86, kButtonHeight),
                   [this] { model_.cmdExecAll_Click(); });
    binder_.button(m.cmdRunContinuous, exec, at("cmdRunContinuous", e, 102, 24, 70, kButtonHeight),
                   [this] { model_.cmdRunContinuous_Click(); });
    // "Abort" moves no data and must reach a run that holds the gate.
    binder_.button(
        m.cmdAbort, exec, at("cmdAbort", e, 178, 24, 64, kButtonHeight),
        [this] { model_.cmdAbort_Click(); }, ControlBinder::Role::Live);
    binder_.button(m.cmdReload2, exec, at("cmdReload2", e, 248, 24, 72, kButtonHeight),
                   [this] { model_.cmdReload2_Click(); });
    // "Abort On fail" and "Enable" move no data and a run reads them at every row: they stay
    // live while a run holds the gate.
    binder_.checkBox(
        m.chkAOF, exec, at("chkAOF", e, 10, 64, 120, kRowHeight), [] {}, ControlBinder::Role::Live);
    binder_.label(m.lblLoopCount, exec,
                  at("lblLoopCount", e, 160, 64, 84, kRowHeight, form::StyleRightAlign));
    binder_.textBox(m.txtLoopCount, exec,
                    at("txtLoopCount", e, 250, 64, 70, kBoxHeight, form::StyleCentred));
    binder_.label(m.lblLastLoad, exec, at("lblLastLoad", e, 10, 102, 60, kRowHeight));
    binder_.textBox(m.txtScriptLine1, exec,
                    at("txtScriptLine1", e, 72, 102, 96, kBoxHeight, form::StyleCentred));
    binder_.label(m.lblStep, exec,
                  at("lblStep", e, 176, 102, 30, kRowHeight, form::StyleRightAlign));
    binder_.textBox(m.txtRunning, exec,
                    at("txtRunning", e, 210, 102, 46, kBoxHeight, form::StyleCentred));
    binder_.label(m.lblOf, exec, at("lblOf", e, 256, 102, 20, kRowHeight, form::StyleCentred));
    binder_.textBox(m.txtTotLines, exec,
                    at("txtTotLines", e, 276, 102, 44, kBoxHeight, form::StyleCentred));
    binder_.label(m.lblReadOps, exec, at("lblReadOps", e, 10, 160, 96, kRowHeight));
    std::vector<QWidget*> counts{
        binder_.textBox(m.txttotReads, exec,
                        at("txttotReads", e, 110, 160, 64, kBoxHeight, form::StyleCentred)),
        binder_.textBox(m.txtRdPass, exec,
                        at("txtRdPass", e, 183, 160, 64, kBoxHeight, form::StyleCentred)),
        binder_.textBox(m.txtRdFails, exec,
                        at("txtRdFails", e, 256, 160, 64, kBoxHeight, form::StyleCentred))};
    headings(m.lblReadCounts, "lblReadCounts", exec, 106, 140, 218, counts);

    // "Interrupt Status" and "Interrupt Service Steps".
    auto* intr =
        binder_.frame(m.frameInterrupt, c, at("frameInterrupt", "", 343, kFrameTop, 348, 120));
    const char* i = "frameInterrupt";
    std::vector<QWidget*> states;
    int x = 10;
    for (const NamedBox& n :
         std::initializer_list<NamedBox>{{&m.txtIDefault, "txtIDefault"},
                                         {&m.txtLastRead, "txtLastRead"},
                                         {&m.txtIEnableStep, "txtIEnableStep"},
                                         {&m.txtIDisableStep, "txtIDisableStep"},
                                         {&m.txtIdetectStep, "txtIdetectStep"}}) {
        states.push_back(binder_.textBox(*n.box, intr,
                                         at(n.name, i, x, 44, 58, kBoxHeight, form::StyleCentred)));
        x += 66;
    }
    headings(m.lblInterrupt, "lblInterrupt", intr, 6, 24, 336, states);
    binder_.checkBox(
        m.chkISample, intr, at("chkISample", i, 10, 82, 76, kRowHeight),
        [this] { model_.chkISample_MouseUp(); }, ControlBinder::Role::Live);
    binder_.lamp(m.shpISample, intr, at("shpISample", i, 96, 84, 15, 15, form::StyleCircle));
    binder_.button(m.cmdISample, intr, at("cmdISample", i, 142, 79, 76, kButtonHeight),
                   [this] { model_.cmdISample_Click(); });

    auto* steps = binder_.frame(m.frameIsteps, c, at("frameIsteps", "", 343, 172, 348, 78));
    const char* s = "frameIsteps";
    std::vector<QWidget*> section;
    x = 10;
    for (const NamedBox& n : std::initializer_list<NamedBox>{
             {&m.txtIstart, "txtIstart"}, {&m.txtIend, "txtIend"}, {&m.txtIexec, "txtIexec"}}) {
        section.push_back(binder_.textBox(
            *n.box, steps, at(n.name, s, x, 44, 58, kBoxHeight, form::StyleCentred)));
        x += 66;
    }
    headings(m.lblIsteps, "lblIsteps", steps, 6, 24, 204, section);

    // Recording.
    auto* rec = binder_.frame(m.frmDataRecord, c,
                              at("frmDataRecord", "", 697, kFrameTop, 300, kFrameHeight));
    const char* r = "frmDataRecord";
    binder_.textBox(m.txtFilePath, rec, at("txtFilePath", r, 10, 26, 280, kBoxHeight));
    binder_.button(m.cmdBrowse, rec, at("cmdBrowse", r, 10, 56, 72, kButtonHeight),
                   [this] { model_.cmdBrowse_Click(); });
    binder_.checkBox(m.chkAppend, rec, at("chkAppend", r, 96, 59, 80, kRowHeight), [] {});
    binder_.button(m.cmdStartRec, rec, at("cmdStartRec", r, 190, 56, 100, kButtonHeight),
                   [this] { model_.cmdStartRec_Click(); });
    binder_.label(m.Label18, rec, at("Label18", r, 10, 92, 280, 44));
}

void frmScriptOpsView::headings(form::Label& label, std::string_view name, QWidget* parent,
                                int left, int top, int width,
                                const std::vector<QWidget*>& columns) {
    auto* row = new QWidget(parent);
    row->setObjectName(QString::fromUtf8(name.data(), static_cast<int>(name.size())));
    row->setProperty("controlKind", "Label");
    row->setGeometry(left, top, width, kHeadingHeight);
    // Each word spans its box and half of the gaps beside it.
    std::vector<QLabel*> words;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const QRect box = columns[k]->geometry().translated(-left, 0);
        const int before =
            k == 0 ? box.left() : (box.left() - (columns[k - 1]->geometry().right() - left)) / 2;
        const int after = k + 1 == columns.size()
                              ? width - 1 - box.right()
                              : ((columns[k + 1]->geometry().left() - left) - box.right()) / 2;
        auto* word = new QLabel(row);
        word->setObjectName(row->objectName() + QStringLiteral("_%1").arg(k));
        word->setTextFormat(Qt::PlainText);
        word->setAlignment(Qt::AlignCenter);
        word->setGeometry(box.left() - std::max(0, before - 1), 0,
                          box.width() + std::max(0, before - 1) + std::max(0, after - 1),
                          kHeadingHeight);
        words.push_back(word);
    }
    renders_.push_back([row, words, &label, caption = std::string(), set = false]() mutable {
        row->setVisible(label.Visible);
        if (set && caption == label.Caption) {
            return;
        }
        caption = label.Caption;
        set = true;
        row->setProperty("caption", QString::fromStdString(caption));
        row->setAccessibleName(QString::fromStdString(caption));
        const QStringList split = headingWords(caption);
        const bool oneEach = split.size() == static_cast<qsizetype>(words.size());
        for (std::size_t k = 0; k < words.size(); ++k) {
            if (oneEach) {
                words[k]->setText(split[static_cast<qsizetype>(k)]);
                words[k]->show();
            } else if (k == 0) {
                // A caption that does not match the columns shows whole across them.
                words[k]->setGeometry(0, 0, row->width(), row->height());
                words[k]->setText(QString::fromStdString(caption).simplified());
            } else {
                words[k]->hide();
            }
        }
    });
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

void frmScriptOpsView::buildMenu() {
    QMenu* file = menuBar()->addMenu(QString::fromStdString(model_.Script_File_Ops.Caption));
    file->setObjectName("Script_File_Ops");
    auto add = [this, file](form::MenuItem& item, const char* name, std::function<void()> run) {
        QAction* action = file->addAction(QString::fromStdString(item.Caption));
        action->setObjectName(name);
        connect(action, &QAction::triggered, this,
                [this, run = std::move(run)] { binder_.dispatch(run); });
        menu_.push_back({action, &item});
    };
    add(model_.mnuScript_Read, "mnuScript_Read", [this] { model_.mnuScript_Read_Click(); });
    add(model_.Dupform, "Dupform", [this] { model_.Dupform_Click(); });
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
    gridModel_->sync();
    // Every column as wide as the grid says; "Comment", the last, also takes whatever room the
    // window has left, so long comments are not cut in a wide window.
    int others = 0;
    for (int c = 0; c < g.Columns(); ++c) {
        int width = g.ColumnWidth(c + 1);
        if (c + 1 == g.Columns()) {
            width = std::max(width, grid_->viewport()->width() - others);
        } else {
            others += width;
        }
        if (columnWidths_[static_cast<std::size_t>(c)] != width) {
            columnWidths_[static_cast<std::size_t>(c)] = width;
            grid_->setColumnWidth(c, width);
        }
    }
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

void frmScriptOpsView::render() {
    binder_.render();
    for (auto& paint : renders_) {
        paint();
    }
    renderGrid();
    const QString title = QString::fromStdString(model_.Caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    const bool busy = binder_.busyLooks();
    for (const MenuEntry& entry : menu_) {
        entry.action->setVisible(entry.item->Visible);
        entry.action->setEnabled(entry.item->Enabled && !busy);
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
