#pragma once

#include <string>

namespace velorin {

enum class ProfileField { name, Age, Weight };

// Segments of the gender control, as stored under Gender.
namespace gender {
inline constexpr int male = 0;
inline constexpr int female = 1;
} // namespace gender

// The profile screen as its controller sees it.
class ProfileView {
public:
    virtual ~ProfileView() = default;
    virtual std::string text(ProfileField field) const = 0;
    virtual void setText(ProfileField field, const std::string& text) = 0;
    // Always one segment selected.
    virtual int gender() const = 0;
    virtual void setGender(int segment) = 0;
    // Takes the focus off the text fields.
    virtual void endEditing() = 0;
    virtual void dismiss() = 0;
};

} // namespace velorin
