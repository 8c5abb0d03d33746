// Line-by-line reading of a text file as a Windows text read would: a carriage return directly
// before the line feed is not part of the line; a last line without a line feed is still a line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "files/platform.h"

namespace vk {

class LineReader {
public:
    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool open(const std::string& path);  // false with errno in error()
    void close();
    bool isOpen() const { return file_ != sys::kNoFile; }

    enum class Status { Line, End, Error };
    // Reads the next line into `line`, cut at maxLength characters (the rest is skipped).
    Status readLine(std::string& line, std::size_t maxLength = 1000);
    // The same line as a view: into the reader's buffer when the whole line is there (no copy),
    // else into `store`. The view is good until the next read.
    Status readLine(std::string_view& line, std::string& store, std::size_t maxLength = 1000);
    // The whole of the line the view read gave last (asked right after it), however long,
    // bounded only by memory: the rest of a cut line is read now, into `store` (the same store)
    // unless the buffer holds the line. Unless asked for, the rest is only skipped by the next
    // read. Error: the rest could not be read (the view is then the line as far as it was read).
    Status wholeLine(std::string_view& line, std::string& store);
    // True when no byte is left to read (a read error is not the end: readLine reports it).
    bool atEnd();
    bool rewind();
    int error() const { return error_; }
    sys::File descriptor() const { return file_; }

    // Reads that have to wait for input (a pipe, a terminal) end as soon as `wake` is signalled,
    // with the error ECANCELED: a reading thread is then never held by a writer that stalls.
    // nullptr: reads wait for as long as the input takes.
    void wakeWith(const sys::Wakeup* wake) { wake_ = wake; }

private:
    bool fill();
    // Appends the current line's bytes to `line`, up to maxLength in all; those past it are
    // skipped, or, with keepRest, left to be read (rest_).
    Status readOn(std::string& line, std::size_t maxLength, bool keepRest);
    bool skipRest();  // false on a read error
    // The line being read: whether any byte of it was seen, its bytes so far (cut or not), whether
    // the last of them is a carriage return, and whether a rest of it is left to be read.
    bool any_ = false;
    std::size_t length_ = 0;
    bool lastWasCr_ = false;
    bool rest_ = false;
    std::string_view whole_;     // the view read's last line, whole, when the buffer holds it
    bool wholeInBuffer_ = false;
    sys::File file_ = sys::kNoFile;
    bool regular_ = false;  // an ordinary file: its reads never wait for a writer
    const sys::Wakeup* wake_ = nullptr;
    int error_ = 0;
    bool eof_ = false;
    std::string buf_;
    std::size_t pos_ = 0;  // next unread byte of buf_
    std::size_t end_ = 0;  // end of the bytes read into buf_
};

}  // namespace vk
