#pragma once
// The crash-safe journal of the log: every line the log view shows is appended, as it is shown,
// to one file per day below the history folder (History/Journal/yyyymmdd.log), each line with
// its time stamp. Each chunk of shown lines is handed to the kernel before the window can paint
// it, so a process that is killed loses no line it has shown. Optionally every line is mirrored
// to standard output. Fed by the consumer of the log pipeline (the log view or TLogWriter) with
// exactly the lines it shows, in order.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

struct ShownLogLine;

class Journal {
 public:
  // folder: e.g. BaseDir + "History/Journal"; created on the first line.
  explicit Journal(std::filesystem::path folder);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Writes the lines (each "stamp text\n") to the file of their day and flushes; the mirror, when
  // on, gets the same bytes on standard output afterwards. False when a file could not be
  // written (the journal goes on trying with the next lines).
  bool Append(const std::vector<ShownLogLine>& lines);

  void SetMirrorToStdout(bool on) { mirror_ = on; }
  bool MirrorToStdout() const { return mirror_; }
  // Replaces standard output as the mirror's target (tests); nullptr = stdout.
  void SetMirrorStream(std::FILE* stream) { mirrorStream_ = stream; }

  const std::filesystem::path& Folder() const { return folder_; }
  // Moves the journal to another folder (created on the next line); the mirror stays as it is.
  void SetFolder(std::filesystem::path folder);
  // The file that holds the lines of that day.
  std::filesystem::path FileFor(const std::tm& localTime) const;

 private:
  bool OpenFor(const std::tm& localTime);
  void Close();

  std::filesystem::path folder_;
  std::FILE* file_ = nullptr;
  std::string fileDay_;  // "yyyymmdd" of file_
  bool mirror_ = false;
  std::FILE* mirrorStream_ = nullptr;
};
