// The Qt window of the "Register Map": a tool row (map file, device address, filter, "Read All")
// over a QTreeView of registers that expand to their fields. It paints from the model, sends
// "Open Map...", "Read All" and each field edit through the one-operation gate, and hides its
// rows the filter does not match.
#pragma once

#include <QStandardItemModel>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "kit/ControlBinder.h"
#include "regmap/frmRegisterMap.h"

class QLineEdit;
class QPushButton;
class QTreeView;

namespace kit {
class QtHost;
}

namespace regmap {

class frmRegisterMapView : public QWidget {
  public:
    // Columns of the tree.
    enum Column { kAddress, kName, kValue, kMark, kEnum, kReset, kAccess, kColumns };

    // Builds the (hidden) window for `model`; `onClose` tells the application the user closed it.
    frmRegisterMapView(frmRegisterMap& model, form::UserEventGate& gate, kit::QtHost& host,
                       std::function<void()> onClose);
    ~frmRegisterMapView() override;

    // Paints the window from the model: the tree is built again only for a new map, its values
    // only when the model changed.
    void render();
    QTreeView* tree() { return tree_; }
    QStandardItemModel& items() { return items_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void rebuild();
    void paintValues();
    void applyFilter();
    void commitEdit(const QModelIndex& index, const QString& text);

    frmRegisterMap& model_;
    kit::QtHost& host_;
    kit::ControlBinder binder_;
    std::function<void()> onClose_;
    int rendererId_ = 0;
    QPushButton* open_ = nullptr;
    QPushButton* readAll_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QTreeView* tree_ = nullptr;
    QStandardItemModel items_;
    std::uint64_t paintedMap_ = 0;
    std::uint64_t paintedRevision_ = ~std::uint64_t{0};
    std::optional<std::string> paintedFilter_;
};

}  // namespace regmap
