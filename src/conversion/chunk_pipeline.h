#pragma once
// Converts the pieces of a file body on all cores. The calling thread does
// every read and write, in file order; worker threads, each with a cipher
// context of its own, transform the pieces in between (and the calling thread
// transforms the oldest piece itself when no worker has taken it by the time
// it is due). A small ring of piece buffers bounds the memory whatever the
// size of the file.
//
// The outcome is that of the plain loop "read piece k, transform it, write
// it, go on with k + 1": a failure reported while reading ahead counts only
// once every earlier piece has been written, so the first failing step in
// file order decides the result and the message.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "conversion/cp3_format.h"
#include "conversion/piece_cipher.h"

namespace kestrove::conversion {

// The caller's side of a conversion: reading and writing one piece.
class PieceSteps {
 public:
  enum class Read {
    piece,       // a piece was read; more may follow
    last_piece,  // a piece was read; no more are read after it
    end,         // nothing was read and nothing more will be
    failed,      // the read side failed (or was stopped): `failure` holds it
  };
  virtual ~PieceSteps() = default;
  // Reads piece `index` (from 0) into `buffer` (room for the capacity given
  // to the pipeline) and sets its `length`.
  virtual Read read_piece(std::uint64_t index, std::uint8_t* buffer, std::uint32_t& length,
                          StepFailure& failure) = 0;
  // Takes piece `index` after its transform (`transformed` false when the
  // cipher failed). False with `failure` set ends the conversion.
  virtual bool write_piece(std::uint64_t index, const std::uint8_t* data, std::uint32_t length, bool transformed,
                           StepFailure& failure) = 0;
};

// How many worker threads and ring slots a conversion uses. No workers: the
// calling thread transforms each piece between its read and its write.
struct PipelineShape {
  unsigned workers = 0;
  unsigned slots = 1;
};

// The shape for a body of `pieces` pieces of up to `capacity` bytes under the
// cipher of `setup`: one worker per core, a few slots per worker, a bounded
// ring; no workers for a single piece, and a single worker for AES, which
// the library deciphers (and, with the chains of a row of pieces interleaved,
// enciphers) at several times the speed of reading and writing: two slots
// for deciphering, two rows of pieces for enciphering.
PipelineShape pipeline_shape(const PieceCipherSetup& setup, std::uint64_t pieces, std::size_t capacity);

class ChunkPipeline {
 public:
  ChunkPipeline(const PieceCipherSetup& setup, std::size_t capacity, PipelineShape shape);
  ~ChunkPipeline();
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  // Takes the memory of the ring; fewer slots when memory is short. False
  // when not even one piece buffer can be had.
  bool allocate();

  // Runs the conversion to its end. Worker threads live only inside this
  // call. False with `failure` set by the first failing step in file order;
  // `memory_message` is the failure when the run itself cannot proceed.
  bool run(PieceSteps& steps, const char* memory_message, StepFailure& failure);

  // The ring and the state the threads share; defined with the code.
  struct Shared;

 private:
  bool run_pieces(PieceSteps& steps, StepFailure& failure);

  PieceCipherSetup setup_;
  std::size_t capacity_;
  PipelineShape shape_;
  std::unique_ptr<Shared> shared_;
};

}  // namespace kestrove::conversion
