#pragma once
// The product line that the checksum file and the exported text lists carry in their headers.
#include <string>

inline constexpr wchar_t ProductHomePage[] = L"https://jurnvalt.example.org/";
// Where users write to; the about box offers it as a "mailto:" link.
inline constexpr wchar_t ProductSupportMail[] = L"support@jurnvalt.example.org";

// "Created by Jurnvalt 2.0 (" + home page + ")"; plain ASCII.
inline std::wstring CreatedByText() {
  return std::wstring(L"Created by Jurnvalt 2.0 (") + ProductHomePage + L")";
}
