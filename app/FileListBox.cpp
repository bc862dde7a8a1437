#include "FileListBox.h"

#include <QFileInfo>
#include <QStyledItemDelegate>

#include "PathText.h"

namespace {

constexpr int kRowHeight = 16;

// Rows of a fixed height, whatever the font and icon would ask for.
class FixedRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
  }
};

}  // namespace

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setIconSize({kRowHeight, kRowHeight});
  setItemDelegate(new FixedRowDelegate(this));
}

void TFileListBox::SetFiles(const std::vector<std::filesystem::path>& files) {
  clear();
  for (const std::filesystem::path& file : files) {
    new QListWidgetItem(icons_.icon(QFileInfo(ToQString(file))), ToQString(file.filename()), this);
  }
}

QStringList TFileListBox::Names() const {
  QStringList names;
  for (int row = 0; row < count(); ++row) names << item(row)->text();
  return names;
}
