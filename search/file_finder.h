// A search of drives or chosen folders for files whose names match a mask,
// optionally only those containing a text, on a background thread. Every
// hit is handed to the thread that owns the finder (the GUI thread) and
// the search thread waits until the handler has returned.
//
// Threading: a TFileFinder is used from one thread only, the thread that
// created it, whose event loop must run for events to arrive. Handlers run
// on that thread one at a time. Nothing is delivered after Stop(), after a
// new Start() or after the finder is destroyed. A handler may call Stop()
// or Start() on its own finder; it must not wait for the search to end.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/drives.h"

class QObject;

namespace glx {

// Attribute bits of a search record.
constexpr uint32_t faReadOnly = 0x01;
constexpr uint32_t faHidden = 0x02;
constexpr uint32_t faSysFile = 0x04;
constexpr uint32_t faVolumeID = 0x08;
constexpr uint32_t faDirectory = 0x10;
constexpr uint32_t faArchive = 0x20;
constexpr uint32_t faAnyFile = 0x3F;

// One entry found by the platform's file search.
struct SearchRecord {
  int32_t time = 0;          // local packed DOS date (high word) and time (low word)
  int32_t size = 0;          // low 32 bits of the size
  uint32_t attr = 0;         // fa* bits
  std::string name;          // the entry's name
  uint32_t excludeAttr = 0;  // attributes the search excluded
  uint64_t fullSize = 0;     // the whole size
  int64_t modified = 0;      // seconds since 1970, UTC
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TFindThread;

using TFileFoundEvent =
    std::function<void(TFindThread& sender, const std::string& directory, const SearchRecord& fileinfo)>;
using TChangeDirectoryEvent = std::function<void(TFindThread& sender, const std::string& directory)>;
using TNotifyEvent = std::function<void(TFindThread& sender)>;

// Windows file-search matching: "*" any run, "?" one character, letter case
// ignored; "*.*" and "*" match every name.
bool matchesMask(const std::string& name, const std::string& mask);

// Finds text (length >= 1) in the file at path, reading 32767-byte chunks
// that overlap by the text's length; when !caseSensitive, text must already
// be lower-case ASCII and the file's ASCII letters are folded. stop is
// polled between chunks. A file that cannot be opened gives false.
bool fileContainsText(const std::string& path, uint64_t size, const std::string& text,
                      bool caseSensitive, const std::atomic<bool>* stop = nullptr);

struct FindChannel;

// The running search. Holds its own copies of the finder's settings.
class TFindThread {
 public:
  ~TFindThread();
  TFindThread(const TFindThread&) = delete;
  TFindThread& operator=(const TFindThread&) = delete;

  const std::string& fileMask() const { return m_fileMask; }
  const std::string& drives() const { return m_drives; }
  bool terminated() const;
  // Whether the thread body has returned (completed or stopped).
  bool finishedRunning() const { return m_finished.load(); }
  // Whether the search thread is waiting for an event to be handled.
  bool waitingForDelivery() const;
  // The folder being searched (only meaningful inside a handler).
  const std::string& currentDirectory() const { return m_currentDirectory; }

 private:
  friend class TFileFinder;
  TFindThread() = default;

  // A folder's entries that match the mask, and the folders to enter.
  struct FolderHit {
    std::string name;
    bool folder;  // a folder, or a link to one
  };
  struct FolderListing {
    std::vector<FolderHit> hits;
    std::vector<std::string> subfolders;
  };

  void execute();
  void walkFolder(const std::string& folder);
  FolderListing listFolder(const std::string& folder) const;
  void reportHit(const std::string& folder, const FolderHit& hit);
  void searchDrive(char drive);
  bool fileListAccepts(const std::string& folder, const std::string& name) const;
  void deliverFound(const std::string& folder, const SearchRecord& record);
  void deliverChangeDirectory(const std::string& folder);
  void deliverCompleted();
  void terminateAndJoin();

  TFileFoundEvent m_onFileFound;
  TChangeDirectoryEvent m_onChangeDirectory;
  TNotifyEvent m_onCompleted;
  std::string m_fileMask;
  std::vector<std::string> m_directories;
  std::string m_drives;
  std::vector<std::string> m_files;
  std::string m_containingText;
  bool m_caseSensitive = false;
  DriveTable m_driveTable;
  WalkFence m_fence;
  TThreadPriority m_priority = tpNormal;
  bool m_matchAll = false;
  const unsigned char* m_maskBegin = nullptr;
  const unsigned char* m_maskEnd = nullptr;
  char m_drive = 0;         // the drive being searched
  std::string m_driveRoot;  // its folder, without trailing "/"
  std::string m_currentDirectory;

  std::shared_ptr<FindChannel> m_channel;
  std::atomic<bool> m_finished{false};
  std::thread m_thread;
};

class TFileFinder {
 public:
  TFileFinder();
  // Stops a running search and waits for its thread; deliveries it has
  // pending are dropped.
  ~TFileFinder();
  TFileFinder(const TFileFinder&) = delete;
  TFileFinder& operator=(const TFileFinder&) = delete;

  TFileFoundEvent OnFileFound;
  TNotifyEvent OnCompleted;
  TChangeDirectoryEvent OnChangeDirectory;

  bool caseSensitive() const { return m_caseSensitive; }
  void setCaseSensitive(bool value) { m_caseSensitive = value; }
  const std::string& containingText() const { return m_containingText; }
  void setContainingText(const std::string& text) { m_containingText = text; }
  // Kept sorted (letter case ignored, then by case), exact duplicates and
  // empty entries dropped: on Linux "Tools" and "tools" are two folders.
  const std::vector<std::string>& directories() const { return m_directories; }
  void setDirectories(const std::vector<std::string>& folders);
  // Upper-cased; everything outside "A" to "Z" removed.
  const std::string& drives() const { return m_drives; }
  void setDrives(const std::string& drives);
  const std::vector<std::string>& files() const { return m_files; }
  void setFiles(const std::vector<std::string>& files) { m_files = files; }
  const std::string& fileMask() const { return m_fileMask; }
  void setFileMask(const std::string& mask) { m_fileMask = mask; }
  TThreadPriority threadPriority() const { return m_threadPriority; }
  void setThreadPriority(TThreadPriority priority) { m_threadPriority = priority; }

  // Where drive letters lead; the program's table unless set.
  DriveTable driveTable() const;
  void setDriveTable(const DriveTable& table) {
    m_driveTable = table;
    m_driveTableSet = true;
  }

  // Ends any previous search (dropping what it had pending) and begins a
  // new one with the current properties.
  void Start();
  // Asks the running search to end; returns at once.
  void Stop();
  // The letters of the table's fixed drives, in order ("C", "CE").
  std::string GetFixedDrives() const;

  // The current search, if any (kept after it ends until the next Start).
  TFindThread* thread() const { return m_thread.get(); }
  bool started() const { return m_started; }

 private:
  bool m_caseSensitive = false;
  std::string m_containingText;
  std::vector<std::string> m_directories;
  std::string m_drives = "C";
  std::vector<std::string> m_files;
  std::string m_fileMask = "*.exe";
  TThreadPriority m_threadPriority = tpNormal;
  DriveTable m_driveTable;
  bool m_driveTableSet = false;

  std::unique_ptr<TFindThread> m_thread;
  bool m_started = false;
  std::unique_ptr<QObject> m_receiver;
};

}  // namespace glx
