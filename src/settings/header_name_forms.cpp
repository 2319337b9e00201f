#include "settings/header_name_forms.h"

#include "platform/ascii_case.h"

namespace korvanel {

namespace {
char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace

HeaderNameForms MakeHeaderNameForms(std::string_view name) {
    if (name.size() > kHeaderNameMaxLength) name = name.substr(0, kHeaderNameMaxLength);
    char upper[kHeaderNameMaxLength];
    char lower[kHeaderNameMaxLength];
    char normal[kHeaderNameMaxLength];
    char capitalised[kHeaderNameMaxLength];
    const std::size_t n = name.size();
    for (std::size_t i = 0; i < n; ++i) {
        upper[i] = Upper(name[i]);
        lower[i] = AsciiLower(upper[i]);
        normal[i] = lower[i];
        capitalised[i] = lower[i];
    }
    if (n > 0) {
        normal[0] = Upper(normal[0]);
        capitalised[0] = normal[0];
    }
    // A "-" in last place has nothing after it to raise.
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (capitalised[i] == '-') capitalised[i + 1] = Upper(capitalised[i + 1]);
    }
    HeaderNameForms forms;
    forms.upper.assign({upper, n});
    forms.lower.assign({lower, n});
    forms.name.assign({normal, n});
    forms.capitalised.assign({capitalised, n});
    return forms;
}

}  // namespace korvanel
