#include "regmap/frmRegisterMap_view.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "kit/CaptionButton.h"
#include "kit/QtHost.h"
#include "regmap/FieldEditDelegate.h"

namespace regmap {

namespace {

constexpr int kRegisterRole = Qt::UserRole + 1;
constexpr int kFieldRole = Qt::UserRole + 2;  // -1 on a register's row
const QColor kDiffers(255, 236, 160);

QString hexText(std::uint32_t value, unsigned width) {
    return QString("%1").arg(value, static_cast<int>(width / 4), 16, QChar('0')).toUpper();
}

QString fieldNumber(std::uint32_t value) {
    return value <= 9 ? QString::number(value) : "0x" + QString::number(value, 16).toUpper();
}

QString bitsText(const Field& field) {
    return field.width == 1 ? QString::number(field.lsb)
                            : QString("%1..%2").arg(field.msb()).arg(field.lsb);
}

QStandardItem* cell(const QString& text, int reg, int field) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(reg, kRegisterRole);
    item->setData(field, kFieldRole);
    return item;
}

}  // namespace

frmRegisterMapView::frmRegisterMapView(frmRegisterMap& model, form::UserEventGate& gate,
                                       kit::QtHost& host, std::function<void()> onClose)
    : model_(model), host_(host), binder_(gate, host), onClose_(std::move(onClose)) {
    setObjectName("frmRegisterMap");
    auto* top = new QHBoxLayout;
    // Buttons that Enter presses when focused, as in the console.
    open_ = new kit::CaptionButton(nullptr);
    open_->setText("Open Map...");
    open_->setObjectName("cmdOpen");
    address_ = new QLineEdit;
    address_->setObjectName("txtAddress");
    address_->setMaximumWidth(40);
    address_->setAlignment(Qt::AlignCenter);
    address_->setToolTip("8-bit I2C write address of the device (hex)");
    filter_ = new QLineEdit;
    filter_->setObjectName("txtFilter");
    filter_->setPlaceholderText("Filter register and field names");
    filter_->setClearButtonEnabled(true);
    readAll_ = new kit::CaptionButton(nullptr);
    readAll_->setText("Read All");
    readAll_->setObjectName("cmdReadAll");
    top->addWidget(open_);
    top->addWidget(new QLabel("I2C Addr"));
    top->addWidget(address_);
    top->addWidget(filter_, 1);
    top->addWidget(readAll_);
    tree_ = new QTreeView;
    tree_->setObjectName("tvwRegisters");
    tree_->setModel(&items_);
    tree_->setUniformRowHeights(true);
    tree_->setAlternatingRowColors(true);
    tree_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::SelectedClicked);
    tree_->setItemDelegateForColumn(
        kValue,
        new FieldEditDelegate(
            [this](const QModelIndex& index) {
                QStringList names;
                const int r = index.data(kRegisterRole).toInt();
                const int f = index.data(kFieldRole).toInt();
                if (model_.map() && f >= 0) {
                    for (const EnumeratedValue& named : model_.map()
                                                            ->registers[static_cast<std::size_t>(r)]
                                                            .fields[static_cast<std::size_t>(f)]
                                                            .values) {
                        names << QString::fromStdString(named.name);
                    }
                }
                return names;
            },
            [this](const QModelIndex& index, const QString& text) { commitEdit(index, text); },
            kEnum, tree_));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tree_, 1);

    // A register a read changes is read only when asked for by name: a double-click on it.
    connect(tree_, &QTreeView::doubleClicked, [this](const QModelIndex& index) {
        const int r = index.data(kRegisterRole).toInt();
        if (model_.map() && index.data(kFieldRole).toInt() < 0) {
            binder_.dispatch([this, r] { model_.readRegister(static_cast<std::size_t>(r)); });
        }
    });
    connect(open_, &QPushButton::clicked,
            [this] { binder_.dispatch([this] { model_.cmdOpen_Click(); }); });
    connect(readAll_, &QPushButton::clicked,
            [this] { binder_.dispatch([this] { model_.cmdReadAll_Click(); }); });
    connect(address_, &QLineEdit::textEdited,
            [this](const QString& text) { model_.address = text.toUpper().toStdString(); });
    connect(filter_, &QLineEdit::textChanged, [this](const QString& text) {
        model_.filter = text.toStdString();
        render();
    });
    resize(640, 480);
    rendererId_ = host.addRenderer([this] { render(); });
}

frmRegisterMapView::~frmRegisterMapView() {
    host_.removeRenderer(rendererId_);
}

void frmRegisterMapView::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClose_) {
        onClose_();
    }
}

void frmRegisterMapView::commitEdit(const QModelIndex& index, const QString& text) {
    const int r = index.data(kRegisterRole).toInt();
    const int f = index.data(kFieldRole).toInt();
    if (!model_.map() || f < 0) {
        return;
    }
    const std::string value = text.toStdString();
    binder_.dispatch([this, r, f, value] {
        const Register& reg = model_.map()->registers[static_cast<std::size_t>(r)];
        const Field field = reg.fields[static_cast<std::size_t>(f)];
        model_.writeField(static_cast<std::size_t>(r), field, value);
    });
}

void frmRegisterMapView::rebuild() {
    items_.clear();
    items_.setHorizontalHeaderLabels(
        {"Address", "Name", "Value", QString::fromUtf8("\u2260 reset"), "Enum", "Reset", "Access"});
    if (!model_.map()) {
        return;
    }
    const RegisterMap& map = *model_.map();
    const auto digits = static_cast<unsigned>(map.registerAddressBytes() * 8);
    QStandardItem* root = items_.invisibleRootItem();
    for (std::size_t i = 0; i < map.registers.size(); ++i) {
        const Register& reg = map.registers[i];
        const int r = static_cast<int>(i);
        QList<QStandardItem*> row;
        row << cell(hexText(reg.address, digits), r, -1)
            << cell(QString::fromStdString(reg.name), r, -1) << cell("", r, -1) << cell("", r, -1)
            << cell("", r, -1)
            << cell(reg.resetMask == 0 ? QString("?") : hexText(reg.resetValue, reg.width), r, -1)
            << cell(QString::fromUtf8(accessName(reg.access, reg.writeKind).data()), r, -1);
        if (!reg.description.empty()) {
            row[kName]->setToolTip(QString::fromStdString(reg.description));
        }
        for (std::size_t j = 0; j < reg.fields.size(); ++j) {
            const Field& field = reg.fields[j];
            const int f = static_cast<int>(j);
            QList<QStandardItem*> sub;
            sub << cell(bitsText(field), r, f) << cell(QString::fromStdString(field.name), r, f)
                << cell("", r, f) << cell("", r, f) << cell("", r, f)
                << cell(fieldNumber(field.reset), r, f)
                << cell(QString::fromUtf8(accessName(field.access, field.writeKind).data()), r, f);
            sub[kValue]->setEditable(writable(field.access) && writable(reg.access));
            if (!field.description.empty()) {
                sub[kName]->setToolTip(QString::fromStdString(field.description));
            }
            row[0]->appendRow(sub);
        }
        root->appendRow(row);
    }
    // Measured once a map, not at every change, over every row, the fields of collapsed
    // registers too (the view's own sizing measures only the rows it shows).
    const QFontMetrics metrics = tree_->fontMetrics();
    const int padding = 16;
    for (int column = 0; column < kColumns; ++column) {
        int widest = metrics.horizontalAdvance(items_.horizontalHeaderItem(column)->text());
        for (int row = 0; row < items_.rowCount(); ++row) {
            const QStandardItem* top = items_.item(row, column);
            widest = std::max(widest, metrics.horizontalAdvance(top->text()));
            const QStandardItem* first = items_.item(row, 0);
            for (int child = 0; child < first->rowCount(); ++child) {
                widest = std::max(widest,
                                  metrics.horizontalAdvance(first->child(child, column)->text()) +
                                      (column == 0 ? tree_->indentation() : 0));
            }
        }
        tree_->setColumnWidth(column, widest + padding + (column == 0 ? tree_->indentation() : 0));
    }
    // The values and enumerated names come later: room for the widest of them now.
    int widestName = 0;
    int widestBits = 0;
    for (const Register& reg : map.registers) {
        for (const Field& field : reg.fields) {
            widestBits =
                std::max(widestBits, tree_->fontMetrics().horizontalAdvance(bitsText(field)));
            for (const EnumeratedValue& named : field.values) {
                widestName = std::max(widestName, tree_->fontMetrics().horizontalAdvance(
                                                      QString::fromStdString(named.name)));
            }
        }
    }
    tree_->setColumnWidth(kValue,
                          std::max(tree_->columnWidth(kValue),
                                   tree_->fontMetrics().horizontalAdvance("00000000") + padding));
    tree_->setColumnWidth(kEnum, std::max(tree_->columnWidth(kEnum), widestName + padding));
    tree_->setColumnWidth(kAddress, std::max(tree_->columnWidth(kAddress),
                                             widestBits + 2 * tree_->indentation() + padding));
    tree_->header()->setStretchLastSection(true);
}

void frmRegisterMapView::paintValues() {
    if (!model_.map()) {
        return;
    }
    const RegisterMap& map = *model_.map();
    for (std::size_t i = 0; i < map.registers.size(); ++i) {
        const Register& reg = map.registers[i];
        const frmRegisterMap::RegisterState& state = model_.states()[i];
        QStandardItem* first = items_.item(static_cast<int>(i), kAddress);
        const bool known = state.value.has_value();
        const bool differs = known && reg.differsFromReset(*state.value);
        const QString value = state.failed    ? QString("--")
                              : known         ? hexText(*state.value, reg.width)
                              : state.notRead ? QString("not read")
                                              : QString();
        QStandardItem* valueItem = items_.item(static_cast<int>(i), kValue);
        if (valueItem->text() != value) {
            valueItem->setText(value);
            valueItem->setToolTip(state.notRead && !known
                                      ? "a read changes this register: double-click to read it"
                                      : QString());
        }
        QStandardItem* mark = items_.item(static_cast<int>(i), kMark);
        const QString markText = differs ? QString::fromUtf8("\u2260") : QString();
        if (mark->text() != markText) {
            mark->setText(markText);
            mark->setToolTip(differs ? "differs from the reset value" : QString());
            valueItem->setBackground(differs ? QBrush(kDiffers) : QBrush());
        }
        for (std::size_t j = 0; j < reg.fields.size(); ++j) {
            const Field& field = reg.fields[j];
            QString fieldValue, named, tip;
            if (known) {
                const std::uint32_t v = field.extract(*state.value);
                fieldValue = fieldNumber(v);
                if (const EnumeratedValue* e = field.valueFor(v)) {
                    named = QString::fromStdString(e->name);
                    tip = QString::fromStdString(e->description);
                }
            }
            QStandardItem* v = first->child(static_cast<int>(j), kValue);
            if (v->text() != fieldValue) {
                v->setText(fieldValue);
            }
            QStandardItem* e = first->child(static_cast<int>(j), kEnum);
            if (e->text() != named) {
                e->setText(named);
                e->setToolTip(tip);
            }
        }
    }
}

void frmRegisterMapView::applyFilter() {
    if (!model_.map()) {
        return;
    }
    const RegisterMap& map = *model_.map();
    const QModelIndex root;
    for (std::size_t i = 0; i < map.registers.size(); ++i) {
        const int row = static_cast<int>(i);
        const bool shown = model_.registerMatches(i);
        tree_->setRowHidden(row, root, !shown);
        const Register& reg = map.registers[i];
        // A register whose own name matches shows all its fields.
        const bool all = model_.nameMatches(reg.name);
        const QModelIndex parent = items_.index(row, 0);
        for (std::size_t j = 0; j < reg.fields.size(); ++j) {
            tree_->setRowHidden(static_cast<int>(j), parent,
                                !(all || model_.fieldMatches(reg.fields[j])));
        }
    }
}

void frmRegisterMapView::render() {
    const QString title = QString::fromStdString(model_.Caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    const QString address = QString::fromStdString(model_.address);
    if (address_->text() != address && !address_->hasFocus()) {
        address_->setText(address);
    }
    const bool busy = binder_.busyLooks();
    readAll_->setEnabled(!busy && model_.map().has_value());
    open_->setEnabled(!busy);
    if (paintedMap_ != model_.mapGeneration()) {
        paintedMap_ = model_.mapGeneration();
        rebuild();
        paintedRevision_ = ~std::uint64_t{0};
        paintedFilter_.reset();
    }
    if (paintedRevision_ != model_.revision()) {
        paintedRevision_ = model_.revision();
        paintValues();
    }
    if (paintedFilter_ != model_.filter) {
        paintedFilter_ = model_.filter;
        applyFilter();
    }
    if (!model_.Visible && isVisible()) {
        hide();
    }
}

}  // namespace regmap
