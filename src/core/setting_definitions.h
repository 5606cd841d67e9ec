#pragma once

#include <QList>
#include <QString>

// The keys of SETSERVER.INI: their sections, kinds, defaults and whether the settings page saves them.
namespace taxi {

namespace sections {
inline const QString SHLYAH_BAZA = QStringLiteral("SHLYAH_BAZA");
inline const QString SET_SERV = QStringLiteral("SET_SERV");
inline const QString GPRS_TAXI = QStringLiteral("GPRS_TAXI");
inline const QString SET_POTOK = QStringLiteral("SET_POTOK");
inline const QString SET_INET = QStringLiteral("SET_INET");
inline const QString SET_DYI_VODIY = QStringLiteral("SET_DYI_VODIY");
} // namespace sections

namespace keys {
inline const QString PATH_BAZA = QStringLiteral("PATH_BAZA");
inline const QString NAME_BAZA = QStringLiteral("NAME_BAZA");
inline const QString SERVER = QStringLiteral("SERVER");
inline const QString LOGIN = QStringLiteral("LOGIN");
inline const QString PASS = QStringLiteral("PASS");
inline const QString PORT_SERVER = QStringLiteral("PORT_SERVER");
inline const QString CHAS_ZN_SEK = QStringLiteral("CHAS_ZN_SEK");
inline const QString NAME_STOYANKA = QStringLiteral("NAME_STOYANKA");
inline const QString FILE_NEWS = QStringLiteral("FILE_NEWS");
inline const QString DOSTUP_POTOK_ZAKAZ = QStringLiteral("DOSTUP_POTOK_ZAKAZ");
inline const QString YUVILEYKA_VIKLIK = QStringLiteral("YUVILEYKA_VIKLIK");
inline const QString PORT_DIRECTOR = QStringLiteral("PORT_DIRECTOR");
inline const QString POKAZ_YUVILEYKA = QStringLiteral("POKAZ_YUVILEYKA");
inline const QString POKAZ_KOD_KLIENTA = QStringLiteral("POKAZ_KOD_KLIENTA");
inline const QString POKAZ_DODAT_DANIH = QStringLiteral("POKAZ_DODAT_DANIH");
inline const QString DODAT_DO_POTOK = QStringLiteral("DODAT_DO_POTOK");
inline const QString DODAT_DO_BORG = QStringLiteral("DODAT_DO_BORG");
inline const QString BORG_ZA_VIDMOVU = QStringLiteral("BORG_ZA_VIDMOVU");
inline const QString MAX_KIL_VIDMOV = QStringLiteral("MAX_KIL_VIDMOV");
inline const QString DOST_OPITUVANNYA = QStringLiteral("DOST_OPITUVANNYA");
inline const QString POKAZ_DODAT_KUDA = QStringLiteral("POKAZ_DODAT_KUDA");
inline const QString POKAZ_CINA_POZRAH = QStringLiteral("POKAZ_CINA_POZRAH");
inline const QString MAX_CIL_POSTANOV_STOYANK = QStringLiteral("MAX_CIL_POSTANOV_STOYANK");
inline const QString OBMIN_POVID_MIZH_VODIYAMI = QStringLiteral("OBMIN_POVID_MIZH_VODIYAMI");
inline const QString OPEN_U_POTIK_YUVILEY = QStringLiteral("OPEN_U_POTIK_YUVILEY");
inline const QString OPEN_ZAM_FOR_REESTROVANIM = QStringLiteral("OPEN_ZAM_FOR_REESTROVANIM");
inline const QString OPEN_ZAM_PERSHIY_LIST = QStringLiteral("OPEN_ZAM_PERSHIY_LIST");
inline const QString LIST_READ_ONLY = QStringLiteral("LIST_READ_ONLY");
inline const QString OPEN_ZAM_LIMIT_YUVILEYKA = QStringLiteral("OPEN_ZAM_LIMIT_YUVILEYKA");
inline const QString OPEN_CHAS_POPERED_ZAM = QStringLiteral("OPEN_CHAS_POPERED_ZAM");
inline const QString CHAS_POPERED_ZAM = QStringLiteral("CHAS_POPERED_ZAM");
inline const QString AUTO_OPEN_INET = QStringLiteral("AUTO_OPEN_INET");
inline const QString ZAPIT_INYA_PASS = QStringLiteral("ZAPIT_INYA_PASS");
inline const QString NET_IMYA = QStringLiteral("NET_IMYA");
inline const QString NET_PASS = QStringLiteral("NET_PASS");
inline const QString NAME_ZEDNANNYA = QStringLiteral("NAME_ZEDNANNYA");
inline const QString POTRIBN_TIP_ZEDNANNYA = QStringLiteral("POTRIBN_TIP_ZEDNANNYA");
inline const QString VHID_V_SYSTEM = QStringLiteral("VHID_V_SYSTEM");
inline const QString VIHID_Z_SYSTEM = QStringLiteral("VIHID_Z_SYSTEM");
inline const QString ZAM_PRIYNATTYA = QStringLiteral("ZAM_PRIYNATTYA");
inline const QString ZAM_VIKONANNYA = QStringLiteral("ZAM_VIKONANNYA");
inline const QString ZAM_VIDMOVA = QStringLiteral("ZAM_VIDMOVA");
inline const QString KLIENT_TURBUVATY = QStringLiteral("KLIENT_TURBUVATY");
inline const QString KLIENT_V_AVTO = QStringLiteral("KLIENT_V_AVTO");
inline const QString PIDSADKA = QStringLiteral("PIDSADKA");
inline const QString ZAM_ZAPIZNENNYA = QStringLiteral("ZAM_ZAPIZNENNYA");
inline const QString TRIVOGA = QStringLiteral("TRIVOGA");
inline const QString ZBIY_SITKA = QStringLiteral("ZBIY_SITKA");
inline const QString ZMINA_STOYANKA = QStringLiteral("ZMINA_STOYANKA");
inline const QString VHID_V_NOVINI = QStringLiteral("VHID_V_NOVINI");
inline const QString CREATE_ZVIT = QStringLiteral("CREATE_ZVIT");
inline const QString VHID_V_POTIK_ZAM = QStringLiteral("VHID_V_POTIK_ZAM");
inline const QString ZAM_VID_DISPETCHERA = QStringLiteral("ZAM_VID_DISPETCHERA");
inline const QString ZAM_Z_POTOKU_ZAM = QStringLiteral("ZAM_Z_POTOKU_ZAM");
inline const QString MENU_STOYNKA = QStringLiteral("MENU_STOYNKA");
} // namespace keys

enum class SettingKind {
    Text,   // taken as it stands
    Number, // decimal text, read where it is used
    Switch, // "1" or "0" in the file
};

struct SettingDefinition {
    QString section;
    QString key;
    SettingKind kind;
    QString defaultValue; // switches: "1" or "0"
    // Written by the settings page's save. The database location and login come from the file as it was
    // prepared for the whole dispatch complex; the two callsign lists are written by the flow-lists dialog.
    bool saved;
};

// Every key, in the order the service loads them (which is also the order of the sections it saves).
const QList<SettingDefinition>& settingDefinitions();

} // namespace taxi
