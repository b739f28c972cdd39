#include "conversion/chunk_pipeline.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <thread>
#include <vector>

#include "crypto/gcrypt_library.h"

namespace kestrove::conversion {
namespace {

// More workers than this gain nothing against one thread doing all the I/O.
constexpr unsigned kMaxWorkers = 8;
// The ring never holds more than this many bytes unless two pieces, or two
// rows of pieces that a worker takes together, need more.
constexpr std::size_t kRingBytes = std::size_t{8} << 20;
// Piece buffers start on their own cache lines.
constexpr std::size_t kSlotAlignment = 64;
// The most pieces a worker transforms in one call.
constexpr std::size_t kMaxTogether = crypto::InterleavedBodyEncryptor::kRowWidth;

}  // namespace

PipelineShape pipeline_shape(const PieceCipherSetup& setup, std::uint64_t pieces, std::size_t capacity) {
  if (pieces < 2) return {};
  // AES-CBC deciphering is parallel inside the library: a piece takes a
  // fraction of the time of its read and write. One worker deciphering a piece
  // while the caller reads and writes the other is all that pays; more
  // workers and slots only add hand-offs and cache footprint.
  if (setup.body_cipher && !setup.encipher) return {1, 2};
  // AES-CBC enciphering interleaves the chains of a row of pieces, which
  // brings it to the speed of reading and writing. One worker enciphers a row
  // while the caller writes the row before it and reads the next.
  if (setup.body_cipher) {
    const std::uint64_t slots = std::min<std::uint64_t>(2 * pieces_together(setup), pieces);
    return {1, static_cast<unsigned>(slots)};
  }
  unsigned cores = std::thread::hardware_concurrency();
  if (cores == 0) cores = 1;
  const unsigned workers = static_cast<unsigned>(std::min<std::uint64_t>({cores, kMaxWorkers, pieces}));
  const std::size_t ring_limit = std::max<std::size_t>(2, kRingBytes / std::max<std::size_t>(capacity, 1));
  const std::uint64_t slots = std::min<std::uint64_t>({std::uint64_t{2} * workers + 2, ring_limit, pieces});
  return {workers, static_cast<unsigned>(slots)};
}

// The ring and what the caller and the workers share about it. Piece k lives
// in slot k % slots; the caller reads into a slot only after the piece that
// held it was written.
struct ChunkPipeline::Shared {
  struct Slot {
    std::uint32_t length = 0;
    bool transformed = false;
    bool finished = false;
  };

  std::unique_ptr<std::uint8_t[]> memory;
  std::unique_ptr<Slot[]> slot_states;
  std::size_t stride = 0;
  unsigned slots = 0;

  std::mutex mutex;
  std::condition_variable work_ready;  // workers wait for a submitted piece
  std::condition_variable piece_done;  // the caller waits for the oldest piece
  std::uint64_t submitted = 0;         // pieces handed to the workers
  std::uint64_t claimed = 0;           // pieces a worker has taken
  bool input_ended = false;            // no more pieces will be submitted
  bool stopping = false;

  std::uint8_t* data(std::uint64_t index) { return memory.get() + (index % slots) * stride; }
  Slot& state(std::uint64_t index) { return slot_states[index % slots]; }
};

namespace {

using Shared = ChunkPipeline::Shared;

// How many pieces one take transforms: what the cipher handles together (one,
// or a row of interleaved chains), never more than the ring holds, or a row
// would wait for itself.
std::uint64_t pieces_per_take(const Shared& shared, const PieceCipherSetup& setup) {
  return std::min<std::size_t>({pieces_together(setup), kMaxTogether, shared.slots});
}

// Takes up to `together` submitted pieces that nobody has taken and
// transforms them, with `lock` (on the shared mutex) released meanwhile.
void take_and_transform(Shared& shared, PieceCipher& cipher, std::uint64_t together,
                        std::unique_lock<std::mutex>& lock) {
  std::array<Piece, kMaxTogether> pieces;
  const std::uint64_t first = shared.claimed;
  const std::size_t count = static_cast<std::size_t>(std::min(shared.submitted - first, together));
  shared.claimed += count;
  for (std::size_t i = 0; i < count; ++i) pieces[i] = {shared.data(first + i), shared.state(first + i).length};
  lock.unlock();
  const bool transformed = cipher.apply_together(std::span(pieces.data(), count));
  lock.lock();
  for (std::size_t i = 0; i < count; ++i) {
    Shared::Slot& slot = shared.state(first + i);
    slot.transformed = transformed;
    slot.finished = true;
  }
  shared.piece_done.notify_one();
}

// A worker waits for a full row unless no more pieces come: a short row
// costs nearly the time of a full one.
void transform_pieces(Shared& shared, const PieceCipherSetup& setup) {
  PieceCipher cipher(setup);
  const std::uint64_t together = pieces_per_take(shared, setup);
  std::unique_lock lock(shared.mutex);
  for (;;) {
    shared.work_ready.wait(lock, [&] {
      const std::uint64_t waiting = shared.submitted - shared.claimed;
      return shared.stopping || waiting >= together || (waiting > 0 && shared.input_ended);
    });
    if (shared.stopping) return;
    take_and_transform(shared, cipher, together, lock);
  }
}

// The worker threads of one run, stopped and joined on every way out.
class Crew {
 public:
  Crew(Shared& shared, const PieceCipherSetup& setup, unsigned count) : shared_(shared) {
    shared_.stopping = false;
    try {
      threads_.reserve(count);
      for (unsigned i = 0; i < count; ++i) threads_.emplace_back(transform_pieces, std::ref(shared), std::cref(setup));
    } catch (...) {
      // Fewer threads than asked for (none at all: the caller transforms).
    }
  }
  ~Crew() {
    {
      std::lock_guard lock(shared_.mutex);
      shared_.stopping = true;
    }
    shared_.work_ready.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  Crew(const Crew&) = delete;
  Crew& operator=(const Crew&) = delete;

  bool empty() const { return threads_.empty(); }

 private:
  Shared& shared_;
  std::vector<std::thread> threads_;
};

}  // namespace

ChunkPipeline::ChunkPipeline(const PieceCipherSetup& setup, std::size_t capacity, PipelineShape shape)
    : setup_(setup), capacity_(capacity), shape_(shape) {
  if (shape_.slots == 0) shape_.slots = 1;
}

ChunkPipeline::~ChunkPipeline() = default;

bool ChunkPipeline::allocate() {
  try {
    if (!shared_) shared_ = std::make_unique<Shared>();
  } catch (...) {
    return false;
  }
  Shared& s = *shared_;
  s.stride = (capacity_ + kSlotAlignment - 1) / kSlotAlignment * kSlotAlignment;
  // Untouched memory: a piece buffer is filled by its read before use.
  for (unsigned slots = shape_.slots; slots > 0; --slots) {
    s.memory.reset(new (std::nothrow) std::uint8_t[slots * s.stride]);
    if (!s.memory) continue;
    s.slot_states.reset(new (std::nothrow) Shared::Slot[slots]);
    if (!s.slot_states) {
      s.memory.reset();
      continue;
    }
    s.slots = slots;
    return true;
  }
  return false;
}

bool ChunkPipeline::run(PieceSteps& steps, const char* memory_message, StepFailure& failure) {
  try {
    if (!shared_ || shared_->slots == 0) {
      failure.result = -1;
      failure.message = memory_message;
      return false;
    }
    return run_pieces(steps, failure);
  } catch (...) {
    failure.result = -1;
    failure.message = memory_message;
    return false;
  }
}

bool ChunkPipeline::run_pieces(PieceSteps& steps, StepFailure& failure) {
  Shared& s = *shared_;
  // libgcrypt is brought up here, before any worker opens a cipher.
  crypto::ensure_gcrypt_ready();
  s.submitted = s.claimed = 0;
  s.input_ended = false;
  // With one slot there is nothing to overlap.
  Crew crew(s, setup_, s.slots > 1 ? shape_.workers : 0);
  // The caller's own cipher: all of the work without workers; with them, the
  // oldest piece when no worker has taken it yet (a worker kept off its core
  // by other programs then delays nothing but itself).
  PieceCipher caller_cipher(setup_);
  const bool alone = crew.empty();
  const std::uint64_t together = pieces_per_take(s, setup_);

  auto finished = [&](std::uint64_t index) {
    if (alone) return true;
    std::lock_guard lock(s.mutex);
    return s.state(index).finished;
  };

  std::uint64_t read = 0, written = 0;
  bool reading = true;
  bool read_failed = false;
  StepFailure read_failure;
  for (;;) {
    // Writing comes first: it frees a slot and keeps the output in order.
    if (written < read && finished(written)) {
      const Shared::Slot& slot = s.state(written);
      if (!steps.write_piece(written, s.data(written), slot.length, slot.transformed, failure)) return false;
      ++written;
      continue;
    }
    if (reading && read - written < s.slots) {
      std::uint32_t length = 0;
      const PieceSteps::Read outcome = steps.read_piece(read, s.data(read), length, read_failure);
      if (outcome == PieceSteps::Read::piece || outcome == PieceSteps::Read::last_piece) {
        Shared::Slot& slot = s.state(read);
        if (alone) {
          slot.length = length;
          slot.transformed = caller_cipher.apply(s.data(read), length);
          slot.finished = true;
        } else {
          {
            std::lock_guard lock(s.mutex);
            slot.length = length;
            slot.transformed = false;
            slot.finished = false;
            s.submitted = read + 1;
          }
          s.work_ready.notify_one();
        }
        ++read;
      }
      if (outcome != PieceSteps::Read::piece) {
        reading = false;
        read_failed = outcome == PieceSteps::Read::failed;
        if (!alone) {
          {
            std::lock_guard lock(s.mutex);
            s.input_ended = true;
          }
          s.work_ready.notify_all();
        }
      }
      continue;
    }
    if (written == read) break;
    std::unique_lock lock(s.mutex);
    if (s.claimed <= written) {
      take_and_transform(s, caller_cipher, together, lock);
      continue;
    }
    s.piece_done.wait(lock, [&] { return s.state(written).finished; });
  }
  // A failure while reading ahead counts after every piece before it.
  if (read_failed) {
    failure = std::move(read_failure);
    return false;
  }
  return true;
}

}  // namespace kestrove::conversion
