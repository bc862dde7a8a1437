#include "WindowRunHost.h"

#include "quenText.h"

TWindowRunHost::TWindowRunHost(QObject* parent) : QObject(parent) {
  // Queued calls copy their arguments, so the types must be known by name.
  qRegisterMetaType<std::filesystem::path>();
  qRegisterMetaType<std::vector<std::filesystem::path>>();
}

void TWindowRunHost::SetConfirmedFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(mutex_);
  confirmed_ = folder;
}

std::filesystem::path TWindowRunHost::ConfirmedFolder() const {
  std::lock_guard lock(mutex_);
  return confirmed_;
}

void TWindowRunHost::FolderRead(const std::filesystem::path& folder,
                                const std::vector<std::filesystem::path>& files) {
  emit folderRead(folder, files);
}

void TWindowRunHost::LogAppended(std::string_view line) {
  emit logAppended(QString::fromStdString(quenText::ToUtf8(line)));
}
