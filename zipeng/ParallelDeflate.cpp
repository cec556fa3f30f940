#include "zipeng/ParallelDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "core/Exception.h"

namespace tavrik::zipeng {

struct TParallelDeflate::Block {
  std::vector<uint8_t> input;  // the dictionary, then the block's own data
  size_t dictionary = 0;
  bool last = false;
  std::vector<uint8_t> output;
  uint32_t crc = 0;
  bool done = false;  // guarded by the mutex
  std::exception_ptr error;

  size_t DataSize() const { return input.size() - dictionary; }
};

TParallelDeflate::TParallelDeflate(int level, unsigned threads) : level_(level) {
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxDeflateWorkers);
  for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

TParallelDeflate::~TParallelDeflate() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (auto& worker : workers_) worker.join();
}

void TParallelDeflate::Work() {
  // One stream per worker, reset for every block: its buffers are allocated once.
  z_stream stream{};
  const bool ready = deflateInit2(&stream, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  for (;;) {
    std::shared_ptr<Block> block;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) break;
      block = std::move(queue_.front());
      queue_.pop_front();
    }
    try {
      if (!ready) throw Exception("Cannot start a deflate stream");
      Compress(*block, &stream);
    } catch (...) {
      block->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      block->done = true;
    }
    block_done_.notify_all();
  }
  if (ready) deflateEnd(&stream);
}

void TParallelDeflate::Compress(Block& block, void* opaque) {
  auto* stream = static_cast<z_stream*>(opaque);
  if (deflateReset(stream) != Z_OK) throw Exception("Cannot reset a deflate stream");
  // A reset restores the level's own parameters, so the shorter search is set for each block.
  if (level_ == 9 && deflateTune(stream, 32, 258, 258, 2048) != Z_OK) throw Exception("Cannot tune deflate");
  if (block.dictionary > 0 &&
      deflateSetDictionary(stream, block.input.data(), static_cast<uInt>(block.dictionary)) != Z_OK)
    throw Exception("Cannot set the deflate dictionary");
  const size_t size = block.DataSize();
  // Room for the worst case and the few bytes of the sync or final marker.
  block.output.resize(deflateBound(stream, size) + 16);
  stream->next_in = block.input.data() + block.dictionary;
  stream->avail_in = static_cast<uInt>(size);
  stream->next_out = block.output.data();
  stream->avail_out = static_cast<uInt>(block.output.size());
  int rc = deflate(stream, block.last ? Z_FINISH : Z_SYNC_FLUSH);
  if ((block.last ? rc != Z_STREAM_END : rc != Z_OK) || stream->avail_in != 0 || stream->avail_out == 0)
    throw Exception("Deflate failed");
  block.output.resize(block.output.size() - stream->avail_out);
  block.crc = static_cast<uint32_t>(crc32(0, block.input.data() + block.dictionary, static_cast<uInt>(size)));
}

uint32_t TParallelDeflate::Run(uint64_t size, const ReadFunc& read, const WriteFunc& write) {
  // Enough that a worker finding its block done always has another waiting.
  const size_t max_in_flight = workers_.size() + 2;
  std::deque<std::shared_ptr<Block>> in_flight;
  std::vector<uint8_t> dictionary;
  uint64_t offset = 0;
  bool all_read = false;
  uLong crc = crc32(0, nullptr, 0);
  std::exception_ptr failure;
  try {
    for (;;) {
      while (!all_read && in_flight.size() < max_in_flight) {
        auto block = std::make_shared<Block>();
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kDeflateBlockSize, size - offset));
        block->dictionary = dictionary.size();
        block->input.resize(dictionary.size() + n);
        std::copy(dictionary.begin(), dictionary.end(), block->input.begin());
        if (n > 0) read(block->input.data() + block->dictionary, n);
        offset += n;
        all_read = offset == size;  // an empty input still makes one, final, block
        block->last = all_read;
        // The next block's dictionary: the last 32 KiB of input so far.
        size_t keep = std::min(kDeflateDictionarySize, block->input.size());
        dictionary.assign(block->input.end() - static_cast<ptrdiff_t>(keep), block->input.end());
        {
          std::lock_guard<std::mutex> lock(mutex_);
          queue_.push_back(block);
        }
        work_ready_.notify_one();
        in_flight.push_back(std::move(block));
      }
      if (in_flight.empty()) break;
      std::shared_ptr<Block> block = std::move(in_flight.front());
      in_flight.pop_front();
      {
        std::unique_lock<std::mutex> lock(mutex_);
        block_done_.wait(lock, [&] { return block->done; });
      }
      if (block->error) std::rethrow_exception(block->error);
      crc = crc32_combine(crc, block->crc, static_cast<z_off_t>(block->DataSize()));
      write(block->output.data(), block->output.size(), block->DataSize());
    }
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure) {
    // Blocks not yet started are dropped; those being compressed are waited for, so the next
    // run starts with idle workers.
    std::unique_lock<std::mutex> lock(mutex_);
    for (auto& block : queue_) block->done = true;
    queue_.clear();
    for (auto& block : in_flight) block_done_.wait(lock, [&] { return block->done; });
    lock.unlock();
    std::rethrow_exception(failure);
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace tavrik::zipeng
