#include "common/tool_main.h"

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
  return tarnwick::RunTool(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
  return tarnwick::RunTool(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
