#include "message_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "contacts.h"
#include "program.h"

TextMessage TextMessageTable[kTextMessageSlots];

namespace {

std::string TextMessageDirName;

void NoStamp() {}
void (*LogStamp)() = NoStamp;

// Files other than TextMessage_n that message n was imported from: a
// delete removes them too, or the message would come back at the next
// start, and a save of a newer message n removes them as stale.
std::vector<std::string> ImportedFrom[kTextMessageSlots];

std::string TextMessageFilePath(int n) {
  return TextMessageDirName + "/TextMessage_" + std::to_string(n);
}

// Where a file is written before it replaces TextMessage_n. Its name lies
// outside the pattern of the message files, so a leftover of a crash is
// never imported; the next save of the same number reuses it.
std::string TemporaryPath(int n) {
  return TextMessageDirName + "/.TextMessage_" + std::to_string(n) + ".new";
}

// The message directory, opened as a directory; -1 after the given report
// when it cannot be.
int OpenMessageDir(const char* failure) {
  int dir = open(TextMessageDirName.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir < 0) perror(failure);
  return dir;
}

// ---- The directory ----

// HOME, else the password database's entry; nullptr when neither has one.
const char* HomeDirectory() {
  const char* home = getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* user = getpwuid(getuid());
  return user != nullptr ? user->pw_dir : nullptr;
}

// Made for the owner alone; one that exists is left as it is.
bool MakeMissingDirectory(const std::string& path) {
  if (access(path.c_str(), F_OK) == 0 || mkdir(path.c_str(), 0700) == 0) return true;
  fprintf(stderr, "201212081601 cannot create %s: %s\n", path.c_str(), strerror(errno));
  return false;
}

// ---- Import ----

bool IsRegularFile(int fd, const char* path) {
  struct stat status;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) return true;
  fprintf(stderr, "201212091504 %s is not a regular file, skipped\n", path);
  return false;
}

void TakeImported(const TextMessage& message, const char* path) {
  const int32_t n = message.TextMessageNr;
  if (!TextMessageNrInTable(n) || !TextMessageComplete(message)) return;
  TextMessageTable[n] = message;
  if (path != TextMessageFilePath(n)) ImportedFrom[n].push_back(path);
}

// Reads one message file into the slot its frame names. A file that holds
// no whole frame is skipped; one that cannot be opened ends the program.
// Opening does not wait on a FIFO, which is then skipped as no message.
void ImportFile(const char* path) {
  int fd = open(path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    LogStamp();
    fputs(path, stderr);
    perror("201110231404 reading TextMessageFile failed\n");
    exit(1);
  }
  bool got_frame = IsRegularFile(fd, path) && ReadFrame(fd) == 0;
  if (close(fd) != 0) perror("20111026 ImportTextMessageFile closing message file failed\n");
  if (got_frame) TakeImported(SplitTextMessageFrame(NewFrame), path);
  LogStamp();
  fprintf(stderr, "TextMessageFile is %s\n", path);
}

// ---- Save ----

void LogNewMessage(const TextMessage& m) {
  fprintf(stderr,
          "\nA *new* message has arrived\n\n"
          "TextAction is:\t%s\nTextMessageNr is:\t%i\nPhoneNumber is:\t %s\n"
          "Contactname is:\t %s\nTextMessageDate is:\t%s\nTextMessageTime is:\t%s\n"
          "TextMessageBody is:\t%s\n\n",
          m.TextAction->c_str(), static_cast<int>(m.TextMessageNr), m.PhoneNumber->c_str(),
          ContactName(m.PhoneNumber->c_str()), m.TextMessageDate->c_str(),
          m.TextMessageTime->c_str(), m.TextMessageBody->c_str());
}

// Writes all of bytes and syncs them; 0, or the errno of the failed step.
int WriteAndSync(int fd, const std::string& bytes) {
  if (int error = WriteAll(fd, bytes)) return error;
  return fsync(fd) == 0 ? 0 : errno;
}

// Replaces message n's file with bytes: they go to a temporary file that a
// rename puts in place in one step, so a crash or a full disk at any moment
// leaves either the old file or the new one whole. Returns 0, or the errno
// of the step that failed; the old file then stays as it was. A temporary
// file that cannot be created is reported here and gives -1.
int ReplaceMessageFile(int dir, int n, const std::string& bytes) {
  std::string path = TextMessageFilePath(n), temporary = TemporaryPath(n);
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) {
    LogStamp();
    fputs(path.c_str(), stderr);
    perror("201110261220 opening TextMessageFile failed\n");
    return -1;
  }
  int error = WriteAndSync(fd, bytes);
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0)
    unlink(temporary.c_str());
  else if (fsync(dir) != 0)  // makes the rename itself last
    error = errno;
  return error;
}

// Writes message n's file in place of the one it had; false after the log
// lines of the step that failed.
bool WriteMessageFile(int n, const std::string& bytes) {
  int dir = OpenMessageDir("201110261253 opening TextMessageDirName failed\n");
  if (dir < 0) return false;
  int error = ReplaceMessageFile(dir, n, bytes);
  close(dir);
  if (error > 0) {
    LogStamp();
    errno = error;
    perror("201110261236 TextMessageFile cant be saved (disk full?)\n");
    fputs(TextMessageFilePath(n).c_str(), stderr);
  }
  return error == 0;
}

// Removes the file; false after the log lines when it stays. One already
// gone counts as removed.
bool RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  int error = errno;
  LogStamp();
  fprintf(stderr, " %s\n", path.c_str());
  errno = error;
  perror("2011112161220 deleting TextMessageFile failed\n");
  return false;
}

// Removes the files; those that stay are kept in the list.
void RemoveFiles(std::vector<std::string>& paths) { std::erase_if(paths, RemoveFile); }

bool ImportedFromFile(const std::string& path) {
  for (const std::vector<std::string>& files : ImportedFrom)
    if (std::find(files.begin(), files.end(), path) != files.end()) return true;
  return false;
}

// TextMessage_n may hold another message m, imported from it. Before it is
// replaced or removed, m moves to a file of its own, so that nothing of a
// message stored is lost. False, leaving TextMessage_n alone, when m
// cannot move: its own file name holds yet another message, or the write
// failed.
bool FreeFileName(int n) {
  const std::string path = TextMessageFilePath(n);
  for (int m = 0; m < kTextMessageSlots; ++m) {
    std::vector<std::string>& files = ImportedFrom[m];
    if (m == n || std::find(files.begin(), files.end(), path) == files.end()) continue;
    const TextMessage& held = TextMessageTable[m];
    if (held.TextMessageBody) {
      if (ImportedFromFile(TextMessageFilePath(m))) {
        fprintf(stderr, "201212081604 %s holds message %i, whose own file holds another\n",
                path.c_str(), m);
        return false;
      }
      if (!WriteMessageFile(m, SmsFrameBytes(held))) return false;
    }
    std::erase(files, path);
  }
  return true;
}

}  // namespace

bool PrepareMessageDirectory(const std::string& dir) {
  TextMessageDirName = dir;
  if (TextMessageDirName.empty()) {
    const char* home = HomeDirectory();
    if (home == nullptr) {
      fputs("201212081600 no home directory for the messages\n", stderr);
      return false;
    }
    TextMessageDirName = std::string(home) + "/gta02/messages";
    if (!MakeMissingDirectory(std::string(home) + "/gta02")) return false;
  }
  return MakeMissingDirectory(TextMessageDirName);
}

void SetLogStamp(void (*stamp)()) { LogStamp = stamp; }

bool TextMessageNrInTable(int32_t n) {
  if (MessageNrInRange(n)) return true;
  fprintf(stderr, "201212091500 message number %i is outside 0 to 98, ignored\n",
          static_cast<int>(n));
  return false;
}

bool TextMessageComplete(const TextMessage& m) {
  if (MessageWritable(m)) return true;
  fprintf(stderr, "201212091501 message %i has a missing or broken field, ignored\n",
          static_cast<int>(m.TextMessageNr));
  return false;
}

int ImportTextMessageFile() {
  DIR* dir = opendir(TextMessageDirName.c_str());
  if (dir == nullptr) {
    fprintf(stderr, "201111211143 %s\n", TextMessageDirName.c_str());
    perror("201110221309 opening TextMessageDirName failed\n");
    exit(1);
  }
  closedir(dir);
  for (std::vector<std::string>& files : ImportedFrom) files.clear();
  std::string pattern = TextMessageDirName + "/TextMessage_*";
  glob_t found;
  if (glob(pattern.c_str(), GLOB_ERR, nullptr, &found) != 0) {
    perror("201110221326 no TextMessageFiles found\n");
    fprintf(stderr, "Used directory: %s\n", TextMessageDirName.c_str());
    globfree(&found);
    return 0;
  }
  for (size_t i = 0; i < found.gl_pathc; ++i) ImportFile(found.gl_pathv[i]);
  globfree(&found);
  return 0;
}

bool ReceiveTextMessage(const TextMessage& message) {
  int32_t n = message.TextMessageNr;
  if (!TextMessageNrInTable(n) || !TextMessageComplete(message)) return false;
  // The whole bodies are compared: a long body that differs only near its
  // end is another message.
  if (TextMessageTable[n].TextMessageBody != message.TextMessageBody) SaveTextMessageFile(message);
  return true;
}

int SaveTextMessageFile(const TextMessage& message) {
  const int n = message.TextMessageNr;
  LogNewMessage(message);
  if (!FreeFileName(n) || !WriteMessageFile(n, SmsFrameBytes(message))) {
    // Unannounced, the message is not taken for stored: the same message
    // delivered again is saved again.
    fprintf(stderr, "201212081602 message %i not saved, no new frame\n", n);
    return -1;
  }
  TextMessageTable[n] = message;
  RemoveFiles(ImportedFrom[n]);
  TextMessage announced = message;
  announced.TextAction = "new";
  WriteSmsFrame(announced);
  return 0;
}

bool DeleteTextMessage(const TextMessage& message) {
  int32_t n = message.TextMessageNr;
  if (!TextMessageNrInTable(n) || !TextMessageComplete(message)) return false;
  if (DeleteTextMessageFile(n) != 0) {
    fprintf(stderr, "201212081603 message %i not deleted here, it stays\n", static_cast<int>(n));
    return true;
  }
  TextMessage& slot = TextMessageTable[n];
  slot = message;
  slot.TextAction = "deleted";
  slot.TextMessageBody.reset();
  return true;
}

int DeleteTextMessageFile(int n) {
  int dir = OpenMessageDir("2011112161253 opening TextMessageDirName failed\n");
  if (dir < 0) return -1;
  close(dir);
  const std::string path = TextMessageFilePath(n);
  // The modem side may confirm a deletion twice; the message is gone either way.
  if (ImportedFrom[n].empty() && access(path.c_str(), F_OK) != 0 && errno == ENOENT)
    fprintf(stderr, "201212091502 %s was already gone\n", path.c_str());
  if (!FreeFileName(n) || !RemoveFile(path)) return -1;
  RemoveFiles(ImportedFrom[n]);
  return ImportedFrom[n].empty() ? 0 : -1;
}

const TextMessage* LookUpTextMessage(int32_t n) {
  if (!TextMessageNrInTable(n)) return nullptr;
  const TextMessage& slot = TextMessageTable[n];
  return slot.TextMessageBody ? &slot : nullptr;
}
