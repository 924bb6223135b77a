// TQAnswerSpool: the body of one large answer, kept in an anonymous temporary file instead of in
// memory, and read back once through a small buffer. A fullview answer lists a whole virtual
// folder; several arrive side by side, and holding them all while the store takes them one at a
// time would cost far more memory than the answers are worth once merged.
//
// The file is unlinked as soon as it is made, so nothing is left behind whatever ends the process;
// its space is freed when the spool goes. A write the file system refuses makes the spool
// unusable (failed()), never an exception.
//
// Appending happens on one thread (a session's delegate queue) and reading afterwards on another;
// the caller orders the two (the read starts after the transfer completed). Not copyable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class TQAnswerSpool {
 public:
  // A new, empty spool in the temporary directory; nullptr when no file can be made there.
  static std::shared_ptr<TQAnswerSpool> make();

  ~TQAnswerSpool();
  TQAnswerSpool(const TQAnswerSpool&) = delete;
  TQAnswerSpool& operator=(const TQAnswerSpool&) = delete;

  // Adds a piece at the end. After a failed write the spool ignores further pieces.
  void append(std::string_view piece);
  // True once a write failed: the spool does not hold the whole body.
  bool failed() const;
  // Bytes appended so far.
  int64_t size() const;

  // Reads the spool from its start, one buffer at a time.
  class Reader {
   public:
    explicit Reader(const TQAnswerSpool& spool);
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // True once every byte was read, or a read failed (then readFailed() is true as well).
    bool atEnd() const { return position_ == length_; }
    char current() const { return buffer_[position_]; }
    void advance() {
      if (++position_ == length_) {
        refill();
      }
    }
    bool readFailed() const { return readFailed_; }
    // True once a buffer read so far held a NUL byte. JSON text never holds one, and a parser may
    // take one for the end of the text, so a reader of JSON refuses a body for which this holds.
    bool sawNul() const { return sawNul_; }

   private:
    void refill();

    static constexpr size_t kBufferSize = size_t{256} << 10U;
    int descriptor_;
    int64_t offset_ = 0;
    std::unique_ptr<char[]> buffer_;
    size_t position_ = 0;
    size_t length_ = 0;
    bool readFailed_ = false;
    bool sawNul_ = false;
  };

  // An input iterator over a Reader, for parsers that take a pair of iterators; a
  // default-constructed one is the end.
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = char;

    Iterator() = default;
    explicit Iterator(Reader& reader) : reader_(&reader) {}
    char operator*() const { return reader_->current(); }
    Iterator& operator++() {
      reader_->advance();
      return *this;
    }
    void operator++(int) { reader_->advance(); }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.atEnd() == b.atEnd(); }

   private:
    bool atEnd() const { return reader_ == nullptr || reader_->atEnd(); }
    Reader* reader_ = nullptr;
  };

 private:
  explicit TQAnswerSpool(int descriptor) : descriptor_(descriptor) {}

  const int descriptor_;
  mutable std::mutex mutex_;
  int64_t size_ = 0;
  bool failed_ = false;
};
