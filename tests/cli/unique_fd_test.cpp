// UniqueFd: each descriptor closed once, by whoever owns it last.
#include "cli/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

namespace {

int OpenNull() {
    int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    return fd;
}

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

bool IsClosed(int fd) {
    errno = 0;
    return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF;
}

TEST(UniqueFd, ClosesItsDescriptorWhenItEnds) {
    int fd = OpenNull();
    {
        UniqueFd owner(fd);
        EXPECT_EQ(fd, owner.Get());
        EXPECT_TRUE(owner.Valid());
        EXPECT_TRUE(IsOpen(fd));
    }
    EXPECT_TRUE(IsClosed(fd));

    UniqueFd none;
    EXPECT_FALSE(none.Valid());
    EXPECT_EQ(-1, none.Get());
}

TEST(UniqueFd, ResetClosesWhatItHeldAndHoldsTheNewOne) {
    int first = OpenNull(), second = OpenNull();
    UniqueFd owner(first);
    owner.Reset(second);
    EXPECT_TRUE(IsClosed(first));
    EXPECT_EQ(second, owner.Get());
    EXPECT_TRUE(IsOpen(second));
    // Given what it holds already, it keeps it open.
    owner.Reset(second);
    EXPECT_TRUE(IsOpen(second));
    owner.Reset();
    EXPECT_TRUE(IsClosed(second));
    EXPECT_FALSE(owner.Valid());
    owner.Reset();  // holding nothing: nothing to close
    EXPECT_FALSE(owner.Valid());
}

// A close on the way out of a failed call leaves that call's errno to be reported.
TEST(UniqueFd, ClosingKeepsErrno) {
    int fd = OpenNull();
    UniqueFd owner(fd);
    ASSERT_EQ(0, ::close(fd));  // so that its own close fails with EBADF
    errno = ENOENT;
    owner.Reset();
    EXPECT_EQ(ENOENT, errno);
}

TEST(UniqueFd, ReleaseHandsTheDescriptorOverUnclosed) {
    int fd = OpenNull();
    {
        UniqueFd owner(fd);
        EXPECT_EQ(fd, owner.Release());
        EXPECT_FALSE(owner.Valid());
    }
    EXPECT_TRUE(IsOpen(fd));
    EXPECT_EQ(0, ::close(fd));
}

// The new owner closes it; the old one does not close it again, even once its number has
// gone to another file.
TEST(UniqueFd, AMovedDescriptorIsClosedOnceByItsNewOwner) {
    using Move = void (*)(std::optional<UniqueFd> & from, std::optional<UniqueFd> & to);
    const std::pair<const char*, Move> moves[] = {
        {"construction", [](std::optional<UniqueFd>& from,
                            std::optional<UniqueFd>& to) { to.emplace(std::move(*from)); }},
        {"assignment",
         [](std::optional<UniqueFd>& from, std::optional<UniqueFd>& to) {
             int replaced = OpenNull();
             to.emplace(replaced);
             *to = std::move(*from);
             EXPECT_TRUE(IsClosed(replaced)) << "what the new owner held";
         }},
    };
    for (const auto& [name, move] : moves) {
        int fd = OpenNull();
        std::optional<UniqueFd> from(std::in_place, fd), to;
        move(from, to);
        EXPECT_FALSE(from->Valid()) << name;
        EXPECT_EQ(fd, to->Get()) << name;
        EXPECT_TRUE(IsOpen(fd)) << name;
        int other = OpenNull();
        to.reset();
        EXPECT_TRUE(IsClosed(fd)) << name;
        ASSERT_EQ(fd, ::dup2(other, fd)) << name;
        ::close(other);
        from.reset();
        EXPECT_TRUE(IsOpen(fd)) << name << ": closed twice";
        ::close(fd);
    }
}

TEST(UniqueFd, MovedOntoItselfStaysOpen) {
    int fd = OpenNull();
    UniqueFd owner(fd);
    UniqueFd& same = owner;
    owner = std::move(same);
    EXPECT_EQ(fd, owner.Get());
    EXPECT_TRUE(IsOpen(fd));
}

}  // namespace
