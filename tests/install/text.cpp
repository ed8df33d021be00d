// Consumer of the installed library, from C++20: the README's text example.
#include <iostream>
#include <set>
#include <string_view>
#include <varo_uuid.hpp>

int main() {
    std::set<varo::uuid> ids;  // in the order of varo_uuid_order()
    for (std::string_view in : {"AAECAwQFBgcICQoLDA0ODw==", "AAECAwQFBgcICQoLDA0ODx=="}) {
        auto id = varo::uuid::parse(in);  // general allocator
        if (!id) continue;                // the second: its character 21 has stray low bits
        ids.insert(std::move(id.value));
    }
    auto same = varo::uuid::from_rfc("urn:uuid:03020100-0504-0706-0809-0a0b0c0d0e0f");
    if (!same || ids.size() != 1 || !ids.contains(same.value)) return 1;
    auto rfc = same.value.to_rfc();
    std::cout << same.value << ' ' << rfc.value.view() << '\n';
    return 0;
}  // each text goes back to the general allocator here
