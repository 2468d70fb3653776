// Joining the parts of concatenated messages as they arrive from the
// storage, in any order.
//
// Parts are keyed by sender, reference and total; a message is complete
// when every part number 1..total is there. Towards the suite a joined
// message is numbered by its first part's storage index (the first of
// `indexes`).
//
// `indexes` holds every index the message took in the storage, so deleting
// it deletes them all: the parts' in part order, then those of duplicates
// (a part number that came twice keeps its first text). The joined message
// is whole (part total 1); its stamp is the first part's, and it is text
// only when every part is.
//
// Bounds, so that a hostile sender cannot make the joiner grow: a part with
// a total outside 2..255 or a number outside 1..total comes back at once as
// a message of its own; at most kMaxPartialMessages unfinished messages are
// kept, each with at most kMaxCopiesPerMessage copies. A new message beyond
// the first bound drops the oldest unfinished one, a copy beyond the second
// is not kept: their parts stay in the storage, they are simply no longer
// waited for. Each drop is logged on standard error.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "pdu.h"

struct JoinedMessage {
  SmsDeliver message;
  std::vector<int> indexes;
};

class SmsJoiner {
 public:
  static constexpr size_t kMaxPartialMessages = 32;
  static constexpr size_t kMaxCopiesPerMessage = 255;

  // The whole message once, when its last part comes; a message that is
  // not a part of one comes back as it is. A storage index holds one
  // message: what the joiner kept at `index` before is forgotten.
  std::optional<JoinedMessage> Add(int index, SmsDeliver part);
  // A part deleted or gone from the storage.
  void Forget(int index);
  void Clear();

 private:
  using Key = std::tuple<std::string, int, int>;  // sender, reference, total
  struct Piece {
    SmsDeliver deliver;
    std::vector<int> indexes;  // its own first, then its duplicates'
  };
  struct Partial {
    std::map<int, Piece> pieces;  // by part number
    size_t copies = 0;
    unsigned long arrival = 0;  // to drop the oldest first
  };

  static std::optional<JoinedMessage> AddCopy(int index, const std::string& sender,
                                              Partial* partial, Piece* piece);
  static JoinedMessage Join(Partial& complete);
  void DropOldestBeyondBound();

  std::map<Key, Partial> partial_;
  unsigned long arrivals_ = 0;
};
