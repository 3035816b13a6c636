#include "app/console.h"

#include <cstdarg>
#include <cstdio>

#include "app/result_code.h"

namespace trasop {

namespace {

const char kBannerText[] =
    "\ntrasop - Gelaendesteigungen aus dmna-Gitterdateien"
    "\n\nVersion 1.1\n";

const char kUsageText[] =
    "\nProgramm zur Bestimmung der Steigungen von gegebenen Gelaendehoehen\n"
    "\nAufruf:     trasop <dmna-Datei>\n"
    "\ndmna-Datei: dmna-Datei mit den Gelaendehoehen (z. B. zg00.dmna)\n"
    "\nDie Datei mit dem Ergebnis bekommt den Namen der dmna-Datei,\n"
    "der aber um \"_s\" ergaenzt wird (z. B. zg00_s.dmna).\n";

}  // namespace

void printMessage(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void printResultMessage(int code) {
  switch (code) {
    case Banner:
      printMessage("%s", kBannerText);
      break;
    case Usage:
      printMessage("%s", kUsageText);
      break;
    case CannotRead:
      printMessage("\nDmna-Datei kann nicht gelesen werden.\n");
      break;
    case CannotCreate:
      printMessage("\nDmna-Datei kann nicht erstellt werden.\n");
      break;
    case BadDelta:
      printMessage("\nUngueltiger Delta-Wert\n");
      break;
    case BadSequ:
      printMessage("\nUngueltige Angabe fuer sequ\n");
      break;
    case BadBounds:
      printMessage("\nUngueltige Werte fuer lowb bzw. hghb\n");
      break;
    case OutOfMemory:
      printMessage("\nSpeicherallokierung ist fehlgeschlagen.\n");
      break;
    case OptionGiven:
      printMessage("\nOptionen werden nicht erwartet.\n");
      break;
    default:
      break;
  }
}

}  // namespace trasop
