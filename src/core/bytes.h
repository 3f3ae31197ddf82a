/* SPDX-License-Identifier: BSD-2-Clause */
// Bounded byte cursors. Every byte the library takes from a TLV goes through a Reader,
// every byte it puts into a compact buffer through a Writer. Both check `n <= size - pos`
// (no overflow), never abort, and fail stickily: once a read or write does not fit, ok()
// stays false, reads return zeros and nothing more is consumed or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Every TLV byte goes through these few lines: keep them inline even where the build
// optimises for size, where a call per byte read would cost more than the read.
#define LUSL_CURSOR_INLINE [[gnu::always_inline]]

namespace lusl {

// Zeros behind a failed Fixed view, so that reading one is harmless.
inline constexpr uint8_t kFixedZeros[64] = {};

// N bytes that one bounds check made available. Fields are read at offsets fixed at compile
// time and checked against N there, so a fixed-size TLV costs one check, not one per field.
// A view whose bytes were not there reads zeros, like a failed Reader.
template <size_t N>
class Fixed {
    static_assert(N <= sizeof kFixedZeros);

public:
    LUSL_CURSOR_INLINE explicit operator bool() const noexcept { return ok_; }

    template <size_t At>
    LUSL_CURSOR_INLINE uint8_t u8() const noexcept
    {
        static_assert(At + 1 <= N);
        return p_[At];
    }
    template <size_t At>
    LUSL_CURSOR_INLINE uint16_t be16() const noexcept
    {
        static_assert(At + 2 <= N);
        return static_cast<uint16_t>((p_[At] << 8) | p_[At + 1]);
    }
    template <size_t At>
    LUSL_CURSOR_INLINE uint32_t be32() const noexcept
    {
        static_assert(At + 4 <= N);
        return (uint32_t{p_[At]} << 24) | (uint32_t{p_[At + 1]} << 16) | (uint32_t{p_[At + 2]} << 8) | p_[At + 3];
    }
    template <size_t At, size_t Len>
    LUSL_CURSOR_INLINE void copy(void* dst) const noexcept
    {
        static_assert(At + Len <= N);
        std::memcpy(dst, p_ + At, Len);
    }

private:
    friend class Reader;
    constexpr Fixed(const uint8_t* p, bool ok) noexcept : p_(p), ok_(ok) {}

    const uint8_t* p_;
    bool ok_;
};

class Span;

class Reader {
public:
    constexpr Reader(const uint8_t* data, size_t size) noexcept : p_(data), size_(data ? size : 0) {}

    LUSL_CURSOR_INLINE uint8_t u8() noexcept { return fits(1) ? p_[pos_++] : 0; }
    LUSL_CURSOR_INLINE uint16_t be16() noexcept
    {
        if (!fits(2)) return 0;
        uint16_t v = static_cast<uint16_t>((p_[pos_] << 8) | p_[pos_ + 1]);
        pos_ += 2;
        return v;
    }
    LUSL_CURSOR_INLINE uint32_t be24() noexcept
    {
        if (!fits(3)) return 0;
        uint32_t v = (uint32_t{p_[pos_]} << 16) | (uint32_t{p_[pos_ + 1]} << 8) | p_[pos_ + 2];
        pos_ += 3;
        return v;
    }
    LUSL_CURSOR_INLINE uint32_t be32() noexcept
    {
        if (!fits(4)) return 0;
        uint32_t v = (uint32_t{p_[pos_]} << 24) | (uint32_t{p_[pos_ + 1]} << 16) |
                     (uint32_t{p_[pos_ + 2]} << 8) | p_[pos_ + 3];
        pos_ += 4;
        return v;
    }
    // Copies n bytes to dst; on a short read dst is left untouched.
    LUSL_CURSOR_INLINE bool copy(void* dst, size_t n) noexcept
    {
        if (!fits(n)) return false;
        if (n) std::memcpy(dst, p_ + pos_, n);
        pos_ += n;
        return true;
    }
    LUSL_CURSOR_INLINE bool skip(size_t n) noexcept
    {
        if (!fits(n)) return false;
        pos_ += n;
        return true;
    }
    // Takes the next N bytes as a Fixed view (one that reads zeros on a short read).
    template <size_t N>
    LUSL_CURSOR_INLINE Fixed<N> fixed() noexcept
    {
        if (!fits(N)) return Fixed<N>(kFixedZeros, false);
        const Fixed<N> f(p_ + pos_, true);
        pos_ += N;
        return f;
    }
    // Consumes the next n bytes with one check and points `at` to them; false, with the Reader
    // failed and `at` as it was, when fewer remain. For a run whose length was just read: the
    // caller reads only the n bytes it asked for.
    LUSL_CURSOR_INLINE bool take(size_t n, const uint8_t*& at) noexcept
    {
        if (!fits(n)) return false;
        at = p_ + pos_;
        pos_ += n;
        return true;
    }
    // Splits off the next n bytes as a Reader of their own (empty and failed on a short read).
    LUSL_CURSOR_INLINE Reader sub(size_t n) noexcept
    {
        if (!fits(n)) return Reader(nullptr, 0, false);
        Reader r(p_ + pos_, n);
        pos_ += n;
        return r;
    }
    // What is left, as a Span for a loop to read; the Reader is not moved until skip_to().
    LUSL_CURSOR_INLINE Span rest() const noexcept;
    // Steps over what a Span taken from rest() has consumed.
    LUSL_CURSOR_INLINE bool skip_to(const Span& s) noexcept;
    // The byte at offset `at` from the cursor, without consuming it (0 when out of range).
    LUSL_CURSOR_INLINE uint8_t peek(size_t at = 0) const noexcept { return ok_ && at < size_ - pos_ ? p_[pos_ + at] : 0; }

    // True when n more bytes can be read; does not consume nor fail.
    LUSL_CURSOR_INLINE bool has(size_t n) const noexcept { return ok_ && n <= size_ - pos_; }
    LUSL_CURSOR_INLINE size_t remaining() const noexcept { return ok_ ? size_ - pos_ : 0; }
    LUSL_CURSOR_INLINE size_t size() const noexcept { return size_; }
    LUSL_CURSOR_INLINE size_t pos() const noexcept { return pos_; }
    LUSL_CURSOR_INLINE bool ok() const noexcept { return ok_; }

private:
    constexpr Reader(const uint8_t* data, size_t size, bool ok) noexcept : p_(data), size_(size), ok_(ok) {}
    LUSL_CURSOR_INLINE bool fits(size_t n) noexcept
    {
        if (ok_ && n <= size_ - pos_) return true;
        ok_ = false;
        return false;
    }

    const uint8_t* p_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// The bytes a Reader has left as two pointers, for a loop that must keep its cursor in two
// registers across calls. take() checks and consumes like Reader::take(); after a take that
// did not fit nothing is left. Once the loop is done, Reader::skip_to() catches up.
class Span {
public:
    LUSL_CURSOR_INLINE bool take(size_t n, const uint8_t*& at) noexcept
    {
        if (n > static_cast<size_t>(end_ - cur_)) {
            cur_ = end_;
            return false;
        }
        at = cur_;
        cur_ += n;
        return true;
    }
    LUSL_CURSOR_INLINE size_t left() const noexcept { return static_cast<size_t>(end_ - cur_); }

private:
    friend class Reader;
    constexpr Span(const uint8_t* cur, const uint8_t* end) noexcept : cur_(cur), end_(end) {}

    const uint8_t* cur_;
    const uint8_t* end_;
};

LUSL_CURSOR_INLINE inline Span Reader::rest() const noexcept
{
    const uint8_t* const at = ok_ ? p_ + pos_ : p_;
    return Span(at, ok_ ? p_ + size_ : at);
}

LUSL_CURSOR_INLINE inline bool Reader::skip_to(const Span& s) noexcept { return skip(remaining() - s.left()); }

// The first and the last W bytes of n (W <= n <= 2W): every byte, with one or two moves.
template <size_t W>
LUSL_CURSOR_INLINE inline void copy_ends(uint8_t* d, const uint8_t* s, size_t n) noexcept
{
    std::memcpy(d, s, W);
    std::memcpy(d + n - W, s + n - W, W);
}

// memcpy of N bytes, N known at compile time, in moves of up to 32 bytes: a size-optimised
// build turns a constant copy above 32 bytes into `rep movs`.
template <size_t N>
LUSL_CURSOR_INLINE inline void copy_fixed(void* dst, const void* src) noexcept
{
    constexpr size_t head = N < 32 ? N : 32;
    std::memcpy(dst, src, head);
    if constexpr (N > head) copy_fixed<N - head>(static_cast<uint8_t*>(dst) + head, static_cast<const uint8_t*>(src) + head);
}

// memset to 0 of N bytes, N known at compile time, as 16-byte stores of a zero register: a
// size-optimised build turns a constant memset of 32 bytes or more into `rep stos`, slow to
// start.
template <size_t N>
LUSL_CURSOR_INLINE inline void zero_fixed(void* dst) noexcept
{
    using Block [[gnu::vector_size(16), gnu::aligned(1), gnu::may_alias]] = uint8_t;
    if constexpr (N >= 16) {
        *static_cast<Block*>(dst) = Block{};
        zero_fixed<N - 16>(static_cast<uint8_t*>(dst) + 16);
    } else if constexpr (N > 0) {
        std::memset(dst, 0, N);
    }
}

// memcpy of at most 64 bytes whose number is known only at run time: two overlapping moves of
// the largest power of two that fits, where a size-optimised build would copy byte by byte
// (`rep movsb`, slow to start on short strings).
LUSL_CURSOR_INLINE inline void copy_short(void* dst, const void* src, size_t n) noexcept
{
    auto* d = static_cast<uint8_t*>(dst);
    const auto* s = static_cast<const uint8_t*>(src);
    if (n >= 16) {
        if (n > 32) return copy_ends<32>(d, s, n);
        return copy_ends<16>(d, s, n);
    }
    if (n >= 8) return copy_ends<8>(d, s, n);
    if (n >= 4) return copy_ends<4>(d, s, n);
    if (n >= 2) return copy_ends<2>(d, s, n);
    if (n) d[0] = s[0];
}

// Mirror of Reader for building byte strings into a fixed buffer. Integers are written
// little-endian (host order of the records and compact forms).
class Writer {
public:
    Writer(uint8_t* buf, size_t cap) noexcept : p_(buf), cap_(buf ? cap : 0) {}

    LUSL_CURSOR_INLINE bool u8(uint8_t v) noexcept { return put(&v, 1); }
    LUSL_CURSOR_INLINE bool le16(uint16_t v) noexcept
    {
        const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        return put(b, 2);
    }
    LUSL_CURSOR_INLINE bool le32(uint32_t v) noexcept
    {
        const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                              static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
        return put(b, 4);
    }
    LUSL_CURSOR_INLINE bool bytes(const void* src, size_t n) noexcept { return put(src, n); }
    // Hands out the next n bytes to be filled in one go (a block whose size its writer
    // has just computed); nullptr when they do not fit, the writer left as it was, as has().
    LUSL_CURSOR_INLINE uint8_t* claim(size_t n) noexcept
    {
        if (!has(n)) return nullptr;
        uint8_t* at = p_ + pos_;
        pos_ += n;
        return at;
    }

    // Where the next byte goes: with remaining(), the span a block writer fills in place before
    // it takes what it wrote, a size worked out while filling, with commit().
    LUSL_CURSOR_INLINE uint8_t* here() const noexcept { return p_ + pos_; }
    LUSL_CURSOR_INLINE bool commit(size_t n) noexcept { return claim(n) != nullptr; }

    LUSL_CURSOR_INLINE bool has(size_t n) const noexcept { return ok_ && n <= cap_ - pos_; }
    LUSL_CURSOR_INLINE size_t size() const noexcept { return pos_; }
    LUSL_CURSOR_INLINE size_t remaining() const noexcept { return cap_ - pos_; }
    LUSL_CURSOR_INLINE bool ok() const noexcept { return ok_; }
    LUSL_CURSOR_INLINE uint8_t* data() const noexcept { return p_; }

private:
    LUSL_CURSOR_INLINE bool put(const void* src, size_t n) noexcept
    {
        if (!ok_ || n > cap_ - pos_) {
            ok_ = false;
            return false;
        }
        if (n) std::memcpy(p_ + pos_, src, n);
        pos_ += n;
        return true;
    }

    uint8_t* p_;
    size_t cap_;
    size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace lusl
