// Consumer of the installed library, from C++20: identifiers as values, a
// compile-time constant, and a look-up by text that makes no owner and
// allocates nothing.
#include <iostream>
#include <string_view>
#include <unordered_map>
#include <varo_uuid.hpp>

int main() {
    constexpr varo::uuid_value dns{"ELina62d0RGAtADAT9QwyA=="};  // checked when compiled
    static_assert(dns == varo::uuid_value::namespace_dns);

    auto site = varo::uuid_value::v5(dns, "www.example.com");  // the same every time
    auto made = varo::uuid_value::generate_v7();
    if (!site || !made) return 1;

    std::unordered_map<varo::uuid_value, std::string_view, varo::uuid_hash, varo::uuid_equal> names;
    names.emplace(site.value, "www.example.com");
    names.emplace(made.value, "made here");  // 16 bytes a key, copied like an integer

    auto found = names.find("fWXWLifpi1aV4SZlqK6mog==");  // by text
    if (found == names.end() || found->first != site.value) return 1;
    std::cout << found->first << ' ' << found->first.rfc().view() << '\n';
    return names.contains(made.value.text().view()) ? 0 : 1;
}
