// A compile-time identifier from a text literal, compiled once per case by
// tests/check_literal.cmake: case 0 compiles, and no other case does.
#include "varo_uuid.hpp"

#if VARO_TEST_CASE == 0
constexpr varo::uuid_value id{"AAECAwQFBgcICQoLDA0ODw=="};
#elif VARO_TEST_CASE == 1
// Character 21 with stray low bits: the same bytes, but not canonical.
constexpr varo::uuid_value id{"AAECAwQFBgcICQoLDA0ODx=="};
#elif VARO_TEST_CASE == 2
// '/' of the standard alphabet, where the path-safe one has '_'.
constexpr varo::uuid_value id{"AAECAwQFBgcICQoLDA0O/w=="};
#elif VARO_TEST_CASE == 3
// 24 characters without the "==" ending.
constexpr varo::uuid_value id{"AAECAwQFBgcICQoLDA0ODwAA"};
#elif VARO_TEST_CASE == 4
// An RFC form is not a text.
constexpr varo::uuid_value id{"03020100-0504-0706-0809-0a0b0c0d0e0f"};
#elif VARO_TEST_CASE == 5
// A text that is not a constant.
char text[VARO_UUID_TEXT_SIZE] = "AAECAwQFBgcICQoLDA0ODw==";
const varo::uuid_value id{text};
#endif

int main() { return id.version() == -1 ? 0 : 1; }
