#include "game/enemy.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "dx/dx.h"
#include "game/csvfile.h"
#include "game/fatal.h"
#include "game/gamestate.h"
#include "game/picture.h"
#include "script/strlist.h"
#include "game/win.h"

MonsterRec MonsterTable[1024];
MonsterRec CurrentEnemy;
int32_t EncounterGroups[kEncounterGroups][kGroupSize];

namespace {

constexpr const char kIndexFile[] = "data/mon_cfg/_mon.csv";
constexpr const char kGroupFile[] = "data/mon_cfg/group.csv";
constexpr const char kLoadingPicture[] = "data/system/loading.png";

// The key files' rows: the table's texts point into them, so they stay until
// the table is read again. Never destroyed, so they outlive the exit handlers.
std::vector<char***>& g_monster_rows = *new std::vector<char***>;
// The index while it is read: a stop on a bad key file leaves it here.
char*** g_index_rows = nullptr;

void ReleaseMonsterData() {
  for (MonsterRec& m : MonsterTable) std::free(m.sound);
  for (char*** rows : g_monster_rows) FreeCsv(rows);
  g_monster_rows.clear();
  FreeCsv(g_index_rows);
  g_index_rows = nullptr;
  std::memset(MonsterTable, 0, sizeof MonsterTable);
  std::memset(&CurrentEnemy, 0, sizeof CurrentEnemy);
}

// Field k of a key row as a number (0 when empty or absent).
int32_t Number(char** row, int k) { return SafeAtoi(CsvColumn(row, k)); }

// Fixed-count values from field 1 on.
void Numbers(char** row, int32_t* out, int count) {
  for (int k = 0; k < count; ++k) out[k] = Number(row, k + 1);
}

// Values from field 1 up to the first empty field or `limit`: how many.
int Walk(char** row, int limit) {
  int k = 0;
  while (k < limit && row[k + 1]) ++k;
  return k;
}

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// A number of the group file: strtol with base 0, as long as digits were read.
bool GroupNumber(const char* text, int32_t* value) {
  const char* end = text;
  *value = ScriptStrtol(text, &end, 0);
  return end != text;
}

}  // namespace

int32_t SafeAtoi(const char* text) { return text ? ScriptAtoi(text) : 0; }

char* TrimRight(char* text) {
  if (!text || !*text) return text;
  size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
  while (*text == ' ') ++text;
  // A one-character name is a name; only a text of blanks is none.
  return *text ? text : nullptr;
}

MonsterRec* FindMonster(int32_t number) {
  if (number < kMonsterBase || number > kMonsterLast) return nullptr;
  MonsterRec& m = MonsterTable[number - kMonsterBase];
  return m.num == number ? &m : nullptr;
}

void DrawLoadingProgress(dx::bitmap* picture, int bar, const char* heading, const char* detail) {
  dxblt(picture, 0, 0);
  dxfillrectalpha(160, 180, 360, 48, dxrgb(255, 255, 255), 80);
  if (bar > 0) dxfillrectalpha(160, 180, bar, 48, dxrgb(255, 60, 60), 50);
  dxsetfont(GameFontFace, 12, 6, 1, 0, 1);
  dxprintf(240, 188, dxrgb(0, 0, 0), "%s", heading);
  dxprintf(180, 208, dxrgb(0, 0, 0), "%s", detail);
  dxupdate();
}

void ReadMonsterFile(int32_t number, char*** rows, const char* path) {
  int64_t index = int64_t{number} - kMonsterBase;
  if (index > 1023) GAME_FATAL("[%s]でエラー発生:NUMが最大値を超えた", path);
  if (index == 0) GAME_FATAL("[%s]でエラー発生:NUMが0", path);
  if (index < 0) GAME_FATAL("[%s]でエラー発生:NUMが%dより小さい", path, kMonsterBase);
  MonsterRec& m = MonsterTable[index];
  m.num = number;
  for (char*** r = rows; r && *r; ++r) {
    char** row = *r;
    char* key = TrimRight(row[0]);
    if (!key) continue;
    if (std::strcmp(key, "NUM") == 0) {
      if (Number(row, 1) != number)
        GAME_FATAL("[%s]でエラー:番号の食い違い[%d][%d]", path, static_cast<int>(index), Number(row, 1));
    } else if (std::strcmp(key, "NAME") == 0) {
      m.name = TrimRight(const_cast<char*>(CsvColumn(row, 1)));
    } else if (std::strcmp(key, "HP") == 0) {
      m.hp_max = Number(row, 1);
    } else if (std::strcmp(key, "STR") == 0) {
      m.str_max = Number(row, 1);
    } else if (std::strcmp(key, "DEX") == 0) {
      m.dex_max = Number(row, 1);
    } else if (std::strcmp(key, "AUTH") == 0) {
      m.auth = TrimRight(const_cast<char*>(CsvColumn(row, 1)));
    } else if (std::strcmp(key, "SOUND") == 0) {
      std::free(m.sound);
      m.sound = nullptr;
      const char* value = CsvColumn(row, 1);
      if (value && *value) {
        size_t n = std::strlen("data/sound/") + std::strlen(value) + 1;
        m.sound = static_cast<char*>(std::malloc(n));
        if (!m.sound) GAME_FATAL("[%s]でエラー発生:メモリ不足", path);
        std::snprintf(m.sound, n, "data/sound/%s", value);
        if (!PkgFileExists(m.sound)) GAME_FATAL("[%s]エラー:SOUND[%s]が存在しない", path, m.sound);
      }
    } else if (std::strcmp(key, "EFFECT") == 0) {
      m.effect = Number(row, 1);
    } else if (StartsWith(key, "PIC")) {
      int32_t n = SafeAtoi(key + 3);
      if (n < 1) GAME_FATAL("[%s]エラー:PIC番号が<0", path);
      if (n > kMonsterPictures) GAME_FATAL("[%s]エラー:PIC番号が>8", path);
      const char* file = TrimRight(const_cast<char*>(CsvColumn(row, 1)));
      if (file && *file && !PkgFileExists(file)) GAME_FATAL("[%s]エラー:PIC[%s]が存在しない", path, file);
      m.pic[n - 1] = file && *file ? file : nullptr;
    } else if (std::strcmp(key, "THIEF") == 0) {
      Numbers(row, m.thief, 2);
    } else if (std::strcmp(key, "META") == 0) {
      // Room for 17 values; a longer row's rest is ignored.
      std::memset(m.meta, 0, sizeof m.meta);
      int count = Walk(row, kMonsterMeta);
      for (int k = 0; k < count; ++k) m.meta[k] = Number(row, k + 1);
    } else if (std::strcmp(key, "MAGIC") == 0) {
      Numbers(row, m.magic, 3);
    } else if (std::strcmp(key, "BACK") == 0) {
      m.back = Number(row, 1);
    } else if (std::strcmp(key, "ILLNESS") == 0) {
      Numbers(row, m.illness, 2);
    } else if (std::strcmp(key, "SUICIDE") == 0) {
      m.suicide = Number(row, 1);
    } else if (std::strcmp(key, "POISON") == 0) {
      Numbers(row, m.poison, 2);
    } else if (std::strcmp(key, "PREGIST") == 0) {
      m.pregist = Number(row, 1);
    } else if (std::strcmp(key, "MREGIST") == 0) {
      m.mregist = Number(row, 1);
    } else if (std::strcmp(key, "HEAL") == 0) {
      Numbers(row, m.heal, 2);
    } else if (std::strcmp(key, "SOLDIER") == 0) {
      m.soldier = Number(row, 1);
    } else if (std::strcmp(key, "AWAY") == 0) {
      Numbers(row, m.away, 2);
    } else if (std::strcmp(key, "ATTACK1") == 0) {
      Numbers(row, m.attack1, 2);
    } else if (std::strcmp(key, "ATTACK2") == 0) {
      Numbers(row, m.attack2, 2);
    } else if (std::strcmp(key, "ITEMS") == 0) {
      int count = Walk(row, kMonsterTreasures);
      for (int k = 0; k < count; ++k) m.treasure[k].item = Number(row, k + 1);
    } else if (std::strcmp(key, "TREASURE") == 0) {
      int count = Walk(row, kMonsterTreasures);
      for (int k = 0; k < count; ++k) m.treasure[k].chance = Number(row, k + 1);
    } else if (std::strcmp(key, "WEAKPOINT") == 0) {
      int count = Walk(row, kMonsterWeakPoints);
      for (int k = 0; k < count; ++k) m.weak[k].point = Number(row, k + 1);
    } else if (std::strcmp(key, "WEAKCG") == 0) {
      int count = Walk(row, kMonsterWeakPoints);
      for (int k = 0; k < count; ++k) m.weak[k].cg = Number(row, k + 1);
    } else if (StartsWith(key, "MSG")) {
      int32_t n = SafeAtoi(key + 3);
      if (n < 0) GAME_FATAL("[%s]エラー:MSG番号が<0", path);
      if (n >= kMonsterMessages) GAME_FATAL("[%s]エラー:MSG番号が>=32", path);
      m.msg[n] = CsvColumn(row, 1);
    } else if (std::strcmp(key, "GOLD") == 0) {
      m.gold = Number(row, 1);
    } else if (std::strcmp(key, "DEMO") == 0) {
      m.demo = Number(row, 1);
    } else {
      GAME_FATAL("[%s]エラー:不明なデータ名[%s]", path, key);
    }
  }
}

void ReadMonsterData() {
  dx::bitmap* loading = readIMG(kLoadingPicture);
  ReleaseMonsterData();
  char*** index = g_index_rows = ReadCsv(kIndexFile);
  if (!index) GAME_FATAL("[%s]はありません", kIndexFile);
  int n = 0;
  while (index[n]) ++n;
  for (int i = 0; i < n; ++i) {
    char** row = index[i];
    const char* file = CsvColumn(row, 2);
    char path[1024];
    std::snprintf(path, sizeof path, "data/mon_cfg/%s", file ? file : "");
    char detail[1100];
    std::snprintf(detail, sizeof detail, "ReadMonsterData[%20s]", path);
    DrawLoadingProgress(loading, i * 360 / n, "データの読み込み中", detail);

    const char* end = row[0];
    int32_t number = ScriptStrtol(row[0], &end, 10);
    if (!row[0] || end == row[0]) continue;  // a heading row
    // Without a key file's name the path names the folder: no file to read.
    if (!file || !*file) GAME_FATAL("[%s]でエラー発生", path);
    char*** rows = ReadCsv(path);
    if (!rows) GAME_FATAL("[%s]でエラー発生", path);
    g_monster_rows.push_back(rows);
    ReadMonsterFile(number, rows, path);
  }
  FreeCsv(index);
  g_index_rows = nullptr;
}

void ReadMonsterGroups() {
  char*** rows = ReadCsv(kGroupFile);
  if (!rows) GAME_FATAL("[%s]はありません", kGroupFile);
  std::memset(EncounterGroups, 0, sizeof EncounterGroups);
  // The messages quote the file's fields, which go with the rows: copy first.
  auto fail = [&](const char* format, const char* field) {
    FormatMsg(format, kGroupFile, field);
    FreeCsv(rows);
    FatalError(__FILE__, __LINE__);
  };
  for (int i = 0; i < kEncounterGroups && rows[i]; ++i) {
    char** row = rows[i];
    if (!row[0]) continue;
    int32_t group = 0;
    if (!GroupNumber(row[0], &group)) fail("[%s]に異常値\n%s", row[0]);
    if (group < 0 || group >= kEncounterGroups) fail("[%s]に異常値(グループ番号は0から31)\n%s", row[0]);
    for (int k = 1; k < kGroupSize && row[k] && row[k][0] != '#'; ++k) {
      int32_t number = 0;
      if (!GroupNumber(row[k], &number) || number < kMonsterBase || number > kMonsterLast)
        fail("[%s]に異常値2\n%s", row[k]);
      EncounterGroups[group][k - 1] = number;
      const MonsterRec& m = MonsterTable[number - kMonsterBase];
      if (number != kMonsterBase && m.num < kMonsterBase + 1) {
        FormatMsg("未設定のモンスター番号 %d/%d %s [%d,%d]", number, m.num, m.name ? m.name : "(null)", group,
                  k - 1);
        FreeCsv(rows);
        FatalError(__FILE__, __LINE__);
      }
    }
  }
  FreeCsv(rows);
}

int32_t SelectEnemyGroup(int32_t group) {
  if (group >= kEncounterGroups) return 0;
  if (group >= 0) GameStateBlock.group = group;
  return GameStateBlock.group;
}

int32_t PickRandomEnemy(int32_t group, int32_t percent) {
  if (group >= kEncounterGroups) return 0;
  if (group < 0) group = GameStateBlock.group;
  // A loaded save may hold any number here.
  if (group <= 0 || group >= kEncounterGroups) return 0;
  if (dxrand(100) > percent) return 0;
  int count = 0;
  while (count < kGroupSize && EncounterGroups[group][count] != 0) ++count;
  if (count == 0) return 0;
  return EncounterGroups[group][dxrand(count)];
}

int32_t SetCurrentEnemy(int32_t number) {
  if (number == 0) {
    std::memset(&CurrentEnemy, 0, sizeof CurrentEnemy);
    return 0;
  }
  if (number <= kMonsterBase) return CurrentEnemy.num;
  const MonsterRec* m = FindMonster(number);
  if (!m) return -1;
  CurrentEnemy = *m;
  CurrentEnemy.hp = CurrentEnemy.hp_max;
  CurrentEnemy.str = CurrentEnemy.str_max;
  CurrentEnemy.dex = CurrentEnemy.dex_max;
  return number;
}
