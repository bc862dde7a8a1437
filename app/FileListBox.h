// TFileListBox: the list of a folder's files with their file-type icons. It
// shows exactly the files it is given: ListFolderFiles decides which and in
// what order, for the list and TargetFiles alike.
#pragma once

#include <filesystem>
#include <vector>

#include <QFileIconProvider>
#include <QListWidget>

class TFileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TFileListBox(QWidget* parent = nullptr);

  // Lists the files (full paths); the entries show their bare names.
  void SetFiles(const std::vector<std::filesystem::path>& files);
  QStringList Names() const;

 private:
  QFileIconProvider icons_;
};
