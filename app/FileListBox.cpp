#include "FileListBox.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "FileNameText.h"
#include "PathText.h"

namespace {

constexpr int kRowHeight = 16;

// Rows of a fixed height as wide as the list, whatever the font, icon and
// name would ask for: a longer name is shortened rather than cut off. Qt
// sizes the rows once, before the scroll bar shows, so room is left for
// it whenever the rows will need it.
class FixedRowDelegate : public QStyledItemDelegate {
 public:
  explicit FixedRowDelegate(QListWidget* list) : QStyledItemDelegate(list), list_(list) {}
  QSize sizeHint(const QStyleOptionViewItem& /*option*/,
                 const QModelIndex& /*index*/) const override {
    const QRect inside = list_->contentsRect();
    const bool scrolls = list_->count() * kRowHeight > inside.height();
    const int bar = scrolls ? list_->verticalScrollBar()->sizeHint().width() : 0;
    return {inside.width() - bar, kRowHeight};
  }

 private:
  QListWidget* list_;
};

}  // namespace

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setIconSize({kRowHeight, kRowHeight});
  setTextElideMode(Qt::ElideMiddle);
  setItemDelegate(new FixedRowDelegate(this));
}

void TFileListBox::SetFiles(const std::vector<std::filesystem::path>& files) {
  clear();
  for (const std::filesystem::path& file : files) {
    const ShownFileName name = ShowFileName(file.filename());
    auto* item = new QListWidgetItem(IconOf(file, name), name.text, this);
    item->setToolTip(name.text);
  }
}

QIcon TFileListBox::IconOf(const std::filesystem::path& file, const ShownFileName& name) const {
  if (!name.fromCp932) return icons_.icon(QFileInfo(ToQString(file)));
  // The decoded name names no file on disk: its icon comes from its suffix.
  const QMimeType type = QMimeDatabase().mimeTypeForFile(name.text, QMimeDatabase::MatchExtension);
  const QIcon byType = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
  return byType.isNull() ? icons_.icon(QAbstractFileIconProvider::File) : byType;
}

QStringList TFileListBox::Names() const {
  QStringList names;
  for (int row = 0; row < count(); ++row) names << item(row)->text();
  return names;
}
