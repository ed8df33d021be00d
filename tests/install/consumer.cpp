// Consumer of the installed library, from C++20: the README's C++ example.
#include <iostream>
#include <unordered_set>
#include <utility>
#include <varo_uuid.hpp>

int main() {
    auto made = varo::uuid::generate();  // general allocator
    if (!made) return 1;
    varo::uuid id = std::move(made.value);

    auto wire = id.encode();  // 16 raw bytes
    if (!wire) return 1;
    auto back = varo::uuid::decode(wire.value, 3);  // a new text from heap 3
    if (!back || back.value != id) return 1;

    std::unordered_set<varo::uuid> seen;
    seen.insert(std::move(id));  // `id` is empty now
    std::cout << back.value.text() << '\n';
    return seen.contains(back.value) ? 0 : 1;
}  // each text goes back to its own allocator here
