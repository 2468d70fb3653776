#include "message_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "contacts.h"
#include "program.h"

const char TextMessageDirName[] = TEXT_MESSAGE_DIR;
TextMessage TextMessageTable[kTextMessageSlots];

namespace {

constexpr char kDelimiters[] = {STX, US, ETX, '\0'};

std::string TextMessageFilePath(int n) {
  return std::string(TextMessageDirName) + "/TextMessage_" + std::to_string(n);
}

// Where a file is written before it replaces TextMessage_n. Its name lies
// outside the pattern of the message files, so a leftover of a crash is
// never imported; the next save of the same number reuses it.
std::string TemporaryPath(int n) {
  return std::string(TextMessageDirName) + "/.TextMessage_" + std::to_string(n) + ".new";
}

// The message directory, opened as a directory; ends the program with the
// given report when it cannot be.
int OpenMessageDir(const char* failure) {
  int dir = open(TextMessageDirName, O_RDONLY | O_DIRECTORY);
  if (dir < 0) {
    perror(failure);
    exit(1);
  }
  return dir;
}

// ---- Import ----

bool IsRegularFile(int fd, const char* path) {
  struct stat status;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) return true;
  fprintf(stderr, "201212091504 %s is not a regular file, skipped\n", path);
  return false;
}

void TakeImported(const TextMessage& message) {
  if (TextMessageNrInTable(message.TextMessageNr) && TextMessageComplete(message))
    TextMessageTable[message.TextMessageNr] = message;
}

// Reads one message file into the slot its frame names. A file that holds
// no whole frame is skipped; one that cannot be opened ends the program.
// Opening does not wait on a FIFO, which is then skipped as no message.
void ImportFile(const char* path) {
  int fd = open(path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    LogCurrentTime();
    fputs(path, stderr);
    perror("201110231404 reading TextMessageFile failed\n");
    exit(1);
  }
  bool got_frame = IsRegularFile(fd, path) && ReadFrame(fd) == 0;
  if (close(fd) != 0) perror("20111026 ImportTextMessageFile closing message file failed\n");
  if (got_frame) TakeImported(SplitTextMessageFrame(NewFrame));
  LogCurrentTime();
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

// The bytes of a message file: the record as one sms frame.
std::string TextMessageFileBytes(const TextMessage& m) {
  std::string bytes(1, STX);
  for (const std::string& field :
       {std::string("sms"), *m.TextAction, *m.PhoneNumber, std::to_string(m.TextMessageNr),
        *m.TextMessageDate, *m.TextMessageTime, *m.TextMessageBody}) {
    bytes += US;
    bytes += field;
  }
  bytes += US;
  bytes += ETX;
  return bytes;
}

// Writes all of bytes and syncs them; 0, or the errno of the failed step.
int WriteAndSync(int fd, const std::string& bytes) {
  if (int error = WriteAll(fd, bytes)) return error;
  return fsync(fd) == 0 ? 0 : errno;
}

// Replaces message n's file with bytes: they go to a temporary file that a
// rename puts in place in one step, so a crash at any moment leaves either
// the old file or the new one whole. Returns 0, or the errno of the step
// that failed; the old file then stays as it was. A temporary file that
// cannot be created ends the program.
int ReplaceMessageFile(int dir, int n, const std::string& bytes) {
  std::string path = TextMessageFilePath(n), temporary = TemporaryPath(n);
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) {
    LogCurrentTime();
    fputs(path.c_str(), stderr);
    perror("201110261220 opening TextMessageFile failed\n");
    exit(1);
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

}  // namespace

void LogCurrentTime() {
  time_t now = time(nullptr);
  fputs(ctime(&now), stderr);
}

const char* ContactName(const char* number) {
  int slot = FindContactByNumber(number);
  return slot >= 0 ? Contacts.Names[slot] : number;
}

bool TextMessageNrInTable(int32_t n) {
  if (n >= 0 && n < kTextMessageSlots) return true;
  fprintf(stderr, "201212091500 message number %i is outside 0 to 98, ignored\n",
          static_cast<int>(n));
  return false;
}

bool TextMessageComplete(const TextMessage& m) {
  for (const FrameText* field : {&m.TextAction, &m.PhoneNumber, &m.TextMessageDate,
                                 &m.TextMessageTime, &m.TextMessageBody}) {
    if (!*field || (*field)->empty() ||
        (*field)->find_first_of(kDelimiters) != std::string::npos) {
      fprintf(stderr, "201212091501 message %i has a missing or broken field, ignored\n",
              static_cast<int>(m.TextMessageNr));
      return false;
    }
  }
  return true;
}

int ImportTextMessageFile() {
  DIR* dir = opendir(TextMessageDirName);
  if (dir == nullptr) {
    fprintf(stderr, "201111211143 %s\n", TextMessageDirName);
    perror("201110221309 opening TextMessageDirName failed\n");
    exit(1);
  }
  closedir(dir);
  std::string pattern = std::string(TextMessageDirName) + "/TextMessage_*";
  glob_t found;
  if (glob(pattern.c_str(), GLOB_ERR, nullptr, &found) != 0) {
    perror("201110221326 no TextMessageFiles found\n");
    fprintf(stderr, "Used directory: %s\n", TextMessageDirName);
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
  if (TextMessageTable[n].TextMessageBody == message.TextMessageBody) return true;
  TextMessageTable[n] = message;
  SaveTextMessageFile(n);
  return true;
}

int SaveTextMessageFile(int n) {
  const TextMessage& slot = TextMessageTable[n];
  LogNewMessage(slot);
  int dir = OpenMessageDir("201110261253 opening TextMessageDirName failed\n");
  int error = ReplaceMessageFile(dir, n, TextMessageFileBytes(slot));
  close(dir);
  if (error != 0) {
    LogCurrentTime();
    errno = error;
    perror("201110261236 TextMessageFile cant be saved (disk full?)\n");
    fputs(TextMessageFilePath(n).c_str(), stderr);
  }
  TextMessage announced = slot;
  announced.TextAction = "new";
  WriteSmsFrame(announced);
  return 0;
}

bool DeleteTextMessage(const TextMessage& message) {
  int32_t n = message.TextMessageNr;
  if (!TextMessageNrInTable(n) || !TextMessageComplete(message)) return false;
  DeleteTextMessageFile(n);
  TextMessage& slot = TextMessageTable[n];
  slot = message;
  slot.TextAction = "deleted";
  slot.TextMessageBody.reset();
  return true;
}

void DeleteTextMessageFile(int n) {
  close(OpenMessageDir("2011112161253 opening TextMessageDirName failed\n"));
  std::string path = TextMessageFilePath(n);
  if (unlink(path.c_str()) == 0) return;
  // The modem side may confirm a deletion twice; the message is gone either way.
  if (errno == ENOENT) {
    fprintf(stderr, "201212091502 %s was already gone\n", path.c_str());
    return;
  }
  int error = errno;
  time_t now = time(nullptr);
  fprintf(stderr, "%s ", ctime(&now));
  fprintf(stderr, "%s\n", path.c_str());
  errno = error;
  perror("2011112161220 deleting TextMessageFile failed\n");
  exit(1);
}

const TextMessage* LookUpTextMessage(int32_t n) {
  if (!TextMessageNrInTable(n)) return nullptr;
  const TextMessage& slot = TextMessageTable[n];
  return slot.TextMessageBody ? &slot : nullptr;
}
