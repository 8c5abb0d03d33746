// The fixed parts of the conversion report's page, kept as files of their own in report/ and
// built into the program: its style, its script and the body around the data.
#pragma once

#include <string_view>

namespace vk {

extern const std::string_view kReportStyle;  // inside <style>
extern const std::string_view kReportScript; // inside <script>
extern const std::string_view kReportBody;   // the page from the summary to the data blocks

} // namespace vk
