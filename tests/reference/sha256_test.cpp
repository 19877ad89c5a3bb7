// SHA-256 against the FIPS 180-4 examples and the lengths where the padding spills into
// another block.
#include "reference/sha256.h"

#include <gtest/gtest.h>

TEST(Sha256, MatchesKnownDigests) {
    struct Case {
        std::string bytes;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // 55 bytes leave room for the padding in their block; 56 and 63 do not.
        {std::string(55, 'x'), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
        {std::string(56, 'x'), "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e"},
        {std::string(63, 'x'), "75220b47218278e656f2013bb8f0c455a25eaf01e86c64924e9d48d89776d6f2"},
        {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
        {std::string("\x00\xFF\x80", 3), "f742b965f156c10374bc23aea96e3a8aff8facd6fc079defeaa30219ad86f211"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.digest, Sha256Hex(c.bytes)) << c.bytes.size();
}
