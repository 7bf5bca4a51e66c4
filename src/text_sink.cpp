#include "text_sink.hpp"

#include <cerrno>
#include <cstdio>

void StdoutSink::write(std::string_view text) {
    while (!text.empty()) {
        if (used_ == buffer_.size()) {
            flush();
        }
        const std::size_t copied = text.copy(buffer_.data() + used_, buffer_.size() - used_);
        used_ += copied;
        text.remove_prefix(copied);
    }
}

void StdoutSink::flush() {
    if (failure_ == 0 && !closed_) {
        errno = 0;
        std::fwrite(buffer_.data(), 1, used_, stdout);
        // On a terminal, stdout is line-buffered: a line whose write failed
        // still counts as written, and only the error flag tells.
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            fail();
        }
    }
    used_ = 0;
}

void StdoutSink::flush_to_terminal() {
    if (terminal_) {
        flush();
    }
}

std::optional<int> StdoutSink::close() {
    flush();
    if (!closed_) {
        closed_ = true;
        errno = 0;
        // Closing reports what a file system could only tell at the end.
        if (std::fclose(stdout) != 0 && failure_ == 0) {
            fail();
        }
    }
    return failure_ == 0 ? std::nullopt : std::optional<int>{failure_};
}

void StdoutSink::fail() {
    // A C library that sets no error number still lost the output.
    failure_ = errno != 0 ? errno : EIO;
}
