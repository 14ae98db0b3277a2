#include "app/command_line.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#ifndef TARVIK_VERSION
#define TARVIK_VERSION "0"
#endif

namespace {

const char* OriginName(DataOrigin origin) {
    switch (origin) {
        case DataOrigin::Option: return "--data";
        case DataOrigin::Installed: return "Installation";
        case DataOrigin::SourceTree: return "Quellbaum";
        case DataOrigin::WorkingFolder: return "Arbeitsordner";
    }
    return "";
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool help = false, version = false;
    auto wrong = [&line](std::string problem) {
        line.action = CommandLine::Action::Wrong;
        line.problem = std::move(problem);
        return line;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--data" || argument.rfind("--data=", 0) == 0) {
            std::string folder;
            if (argument == "--data") {
                if (i + 1 == arguments.size()) return wrong("--data braucht einen Ordner.");
                folder = arguments[++i];
            } else {
                folder = argument.substr(7);
            }
            if (folder.empty()) return wrong("--data braucht einen Ordner.");
            line.dataFolder = folder;
        } else if (!argument.empty() && argument[0] == '-') {
            return wrong("Unbekannte Option \"" + argument + "\".");
        } else {
            return wrong("Unerwartetes Argument \"" + argument + "\".");
        }
    }
    if (help) {
        line.action = CommandLine::Action::Help;
    } else if (version) {
        line.action = CommandLine::Action::Version;
    }
    return line;
}

std::string UsageText() {
    return "Aufruf: tarvik3d [--data ORDNER]\n"
           "        tarvik3d --help | --version\n"
           "\n"
           "Tarvik 3D, ein kleines 3D-Rennspiel.\n"
           "\n"
           "  --data ORDNER  die Spieldaten (course.txt, media/) aus ORDNER lesen und die\n"
           "                 Bestenliste high.dat dort f\u00fchren\n"
           "  --help         diese Hilfe zeigen, mit den Orten, die das Spiel n\u00e4hme\n"
           "  --version      die Version zeigen\n"
           "\n"
           "Tasten:\n"
           "  Up, Down        Gas geben; bremsen und r\u00fcckw\u00e4rts fahren\n"
           "  Left, Right     lenken\n"
           "  Space           den Titelflug beenden und losfahren\n"
           "  F1              Neues Spiel (im Titelflug wie Space)\n"
           "  F2              Hupe\n"
           "  F3              Sound (ein/aus)\n"
           "  F4              Pause (ein/aus)\n"
           "  F10, Alt        Men\u00fcleiste (mit den Pfeiltasten, Enter w\u00e4hlt, Esc schlie\u00dft)\n"
           "  F11, Alt+Enter  Vollbild (ein/aus)\n"
           "  F12             Debug-Anzeige (ein/aus)\n"
           "  Esc             Beenden des Spiels (Abspann, Bestenliste, Name f\u00fcr die Liste)\n"
           "Die Fahrtasten (Up, Down, Left, Right, Space, F12) und das Gamepad stellt der\n"
           "Dialog Konfiguration (Men\u00fc Einstellungen) ein.\n"
           "\n"
           "Fl\u00fcssige Bewegung (Konfiguration, an ab Werk): das Spiel rechnet weiter alle\n"
           "40 ms einen Schritt, zeichnet aber so viele Bilder, wie der Bildschirm zeigt,\n"
           "und blendet dazwischen Wagen, Kamera und Titelflug von Schritt zu Schritt\n"
           "\u00fcber; das Rennen bleibt genau dasselbe. \"Bilder je Sekunde\" begrenzt die\n"
           "Bilder (Bildschirm, 30, 60, 120, 144, unbegrenzt). Aus: ein Bild je Schritt,\n"
           "wie im ersten Spiel.\n"
           "\n"
           "Ohne --data nimmt das Spiel die Daten seiner Installation, sonst data/ im\n"
           "Quellbaum neben dem Build-Ordner, sonst den Arbeitsordner. Installiert f\u00fchrt\n"
           "es die Bestenliste jedes Spielers in $XDG_DATA_HOME/tarvik3d/high.dat\n"
           "(~/.local/share/tarvik3d/high.dat, wenn XDG_DATA_HOME nicht gesetzt ist).\n"
           "Die Einstellungen (Dialog Konfiguration) stehen in\n"
           "$XDG_CONFIG_HOME/tarvik3d/settings.ini (~/.config/tarvik3d/settings.ini).\n";
}

std::string VersionText() { return std::string("Tarvik 3D ") + TARVIK_VERSION + "\n"; }

std::string PlacesText(const GamePlaces& places) {
    std::string text = "Spieldaten:  " + places.dataFolder + " (" + OriginName(places.origin) + ")\n";
    if (places.highscores.empty()) {
        text += "Bestenliste: wird nicht gespeichert (kein Ordner daf\u00fcr: weder XDG_DATA_HOME noch HOME)\n";
    } else {
        text += "Bestenliste: " + places.highscores + "\n";
    }
    if (!places.installedHighscores.empty() && !Exists(places.highscores)) {
        text += Exists(places.installedHighscores)
                    ? "             zuerst mit der Liste der Installation: " + places.installedHighscores + "\n"
                    : "             zuerst leer (die Installation hat keine Liste)\n";
    }
    if (places.settings.empty()) {
        text += "Einstellungen: werden nicht gespeichert (kein Ordner daf\u00fcr: weder XDG_CONFIG_HOME noch HOME)\n";
    } else {
        text += "Einstellungen: " + places.settings + (Exists(places.settings) ? "" : " (noch nicht angelegt)") + "\n";
    }
    return text;
}

std::optional<int> PrepareStart(const std::vector<std::string>& arguments, GameFiles* files, std::string* out,
                                std::string* err, PlaceSearch (*searchOf)(const std::string& dataOption)) {
    const CommandLine line = ReadCommandLine(arguments);
    if (line.action == CommandLine::Action::Wrong) {
        *err += "Tarvik 3D: " + line.problem + "\n\n" + UsageText();
        return kExitUsage;
    }
    if (line.action == CommandLine::Action::Version) {
        *out += VersionText();
        return 0;
    }
    std::string problem;
    const std::optional<GamePlaces> places = FindGamePlaces(searchOf(line.dataFolder), &problem);
    if (!places) {
        *err += "Tarvik 3D: " + problem + "\n";
        return kExitUsage;
    }
    if (line.action == CommandLine::Action::Help) {
        *out += UsageText() + "\n" + PlacesText(*places);
        return 0;
    }
    if (::chdir(places->dataFolder.c_str()) != 0) {
        *err += "Tarvik 3D: Der Datenordner \"" + places->dataFolder + "\" l\u00e4sst sich nicht betreten.\n";
        return 1;
    }
    if (places->highscores.empty()) {
        *err += "Tarvik 3D: Kein Ordner f\u00fcr die Bestenliste gefunden (weder XDG_DATA_HOME noch HOME); sie "
                "wird nicht gespeichert.\n";
    }
    *files = FilesOf(*places);
    return std::nullopt;
}
