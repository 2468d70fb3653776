// Arbitrary byte streams through the frame reader, the classifier, every
// splitter, and the writers on what the splitters give. Run it with
// -close_fd_mask=3 (tools/run-fuzzer does) to drop the frames and
// diagnostics the code writes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame.h"

namespace {

void ExerciseFrame(const char* frame) {
  ClassifyFrame(frame);
  CallFields call = SplitCallFrame(frame);
  WriteCallFrame(call.CallAction.c_str(), call.PhoneNr.c_str());
  WriteSmsFrame(SplitTextMessageFrame(frame));
  NotifyFields notify = SplitNotifyFrame(frame);
  WriteCallFrame(notify.NotifyAction ? notify.NotifyAction->c_str() : nullptr,
                 notify.ProfileText ? notify.ProfileText->c_str() : nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = memfd_create("frames", MFD_CLOEXEC);
  if (fd < 0) abort();
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) abort();
  lseek(fd, 0, SEEK_SET);
  // Every call takes at least one byte or ends the input.
  bool ended = false;
  for (size_t calls = 0; calls <= size + 1 && !ended; ++calls) {
    int result = ReadFrameWithin(fd, 0);
    if (strlen(NewFrame) >= kFrameBufferSize) abort();
    if (result == 0) ExerciseFrame(NewFrame);
    ended = result == -1;
  }
  if (!ended) abort();
  // The whole input as one text, also past the reader's length limit.
  ExerciseFrame(std::string(reinterpret_cast<const char*>(data), size).c_str());
  close(fd);
  return 0;
}
