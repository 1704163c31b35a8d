#include "driver/usage.h"

#include "common/version.h"

namespace logvane {

std::string VersionLine() { return "Quorvel Logvane v" + std::string(kVersion) + "\n"; }

std::string BannerLine() { return "[Quorvel Logvane (v" + std::string(kVersion) + ")]\n"; }

std::string_view UsageText() {
  return "usage: logvane [PARAMETER-FILE]\n"
         "       logvane --check [PARAMETER-FILE]\n"
         "       logvane --help | -h | --version\n"
         "\n"
         "Reads one web-server or proxy access log and writes one HTML report.\n"
         "PARAMETER-FILE defaults to lvparam.dat in the working directory. The\n"
         "name cache lvipname.dat is read from and written to the working\n"
         "directory unless LOOKUP=N. INFILE=- reads the log from standard input\n"
         "(then OUTFILE must name the report). Plain and gzip logs are read alike.\n"
         "OUTFILE=- writes the report to standard output (a file or a pipe, never\n"
         "a terminal); the console lines then go to standard error.\n"
         "\n"
         "Warnings about the parameter file, files that cannot be opened (with the\n"
         "system's reason) and a summary of rejected lines go to standard error.\n"
         "--check reads the parameter file as a run would, writes every warning,\n"
         "tests that INFILE can be opened and the report created, prints the\n"
         "effective settings and exits 0 when nothing worse than a note was found,\n"
         "else 1; it reads no log and leaves the name cache alone.\n"
         "\n"
         "Keywords, one per line (\";\" starts a comment):\n"
         "  INFILE=path  OUTFILE=path  TITLE=text\n"
         "  LOOKUP=Y|X|N  TIMEOUT=seconds  DNSTHREADS=1..64  DEBUG=Y|F\n"
         "  HOFFSET=hours  ADJWIDTH=pixels  hstb_loc=prefix-of-/hstb.gif\n"
         "  MAXUSERS= MAXPAGES= MAXDIRS= MAXNOTFOUND= MAXNATIONS= MAXEXTRA1= MAXEXTRA2=\n"
         "  SELECT=text  EXCLUDE_ADDR=  EXCLUDE_TYPE=  EXCLUDE_EXTRA1=  EXCLUDE_EXTRA2=\n"
         "  ROBOTS=RPT  USER=FIELD2  PAGES=FULL  PROXY=ON  PLOW  NOSHOW\n"
         "  ULOOKUP=<a href=\"...{user}...\">\n"
         "  NO_USER NO_DATE NO_DAY NO_HOUR NO_PAGE NO_DIR NO_NATION NO_CODE\n"
         "  text1= ... text63=   replace one report label\n"
         "\n"
         "The manual page logvane(1) and the README describe every keyword and label.\n";
}

InfoRequest InfoRequestOf(std::string_view argument) {
  if (argument == "--help" || argument == "-h") return InfoRequest::kHelp;
  if (argument == "--version") return InfoRequest::kVersion;
  if (argument == "--check") return InfoRequest::kCheck;
  return InfoRequest::kNone;
}

}  // namespace logvane
