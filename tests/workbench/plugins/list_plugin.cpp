// A program plugin for the tests: it writes an XML list naming the session and the log.
#include <cstdio>
#include <cstdlib>

int main() {
  const char* result = std::getenv("LUMIVEXPLUGIN_ResultXML");
  const char* log = std::getenv("LUMIVEXPLUGIN_ProcmonFile");
  if (!result) return 2;
  std::FILE* f = std::fopen(result, "w");
  if (!f) return 3;
  std::fprintf(f,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<lumivex-plugin-output><list title=\"Sandbox\" message=\"Sent to the sandbox\">"
               "<head><column width=\"100\">Key</column><column>Value</column></head>"
               "<body><row style=\"color:blue\"><cell>log</cell><cell>%s</cell></row>"
               "<row><cell style=\"color:red\">stra\xC3\x9F"
               "e</cell><cell>\xE2\x82\xAC</cell></row></body></list>"
               "</lumivex-plugin-output>\n",
               log ? log : "");
  std::fclose(f);
  return 0;
}
