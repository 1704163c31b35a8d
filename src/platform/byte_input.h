// Standard input, shared by the two file-name prompts and, with INFILE=-,
// by the log itself: whatever a prompt has read ahead is handed on to the
// log reader first, so no byte is lost between them.
#ifndef LOGVANE_PLATFORM_BYTE_INPUT_H_
#define LOGVANE_PLATFORM_BYTE_INPUT_H_

#include <cstddef>
#include <string>
#include <sys/types.h>

#include "common/status.h"

namespace logvane {

class ByteInput {
 public:
  explicit ByteInput(int fd);               // reads a descriptor
  explicit ByteInput(std::string content);  // reads a fixed text (tests)

  // One blank-delimited word: leading white space skipped, the word ends
  // before the next white space, which stays unread. False when the input
  // ends before a word starts.
  bool ReadWord(std::string* word);

  // Drops one line end ("\n" or "\r\n") when it comes next.
  void SkipLineEnd();

  // Up to `size` bytes, their count in `*got`: 0 at the end.
  Status Read(char* buffer, size_t size, size_t* got);

 private:
  bool Fill();  // false at the end or on an error

  int fd_ = -1;
  std::string buffer_;
  size_t position_ = 0;
  Status failure_;  // a read error ends the input
};

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_BYTE_INPUT_H_
