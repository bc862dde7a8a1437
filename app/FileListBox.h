// TFileListBox: the list of a folder's files with their file-type icons. It
// shows exactly the files it is given: ListFolderFiles decides which and in
// what order, for the list and TargetFiles alike.
//
// A name too long for the list is shortened in the middle, where the suffix
// and the start both stay readable; its tooltip shows it whole. Names kept
// in CP932 bytes are shown as that text (FileNameText).
#pragma once

#include <filesystem>
#include <vector>

#include <QFileIconProvider>
#include <QListWidget>

struct ShownFileName;

class TFileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TFileListBox(QWidget* parent = nullptr);

  // Lists the files (full paths); the entries show their bare names.
  void SetFiles(const std::vector<std::filesystem::path>& files);
  QStringList Names() const;

 private:
  QIcon IconOf(const std::filesystem::path& file, const ShownFileName& name) const;

  QFileIconProvider icons_;
};
