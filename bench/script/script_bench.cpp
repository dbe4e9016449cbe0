// The same small programs in the event-script language and in Lua 5.4, run
// and compiled side by side; the ratio ours / Lua is printed for each pair.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/common/ratios.h"
#include "script/memory.h"
#include "script/script.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

namespace {

struct Program {
  const char* name;
  const char* ours;
  const char* lua;
};

// Variables are globals in both, as they are in event scripts.
const Program kPrograms[] = {
    {"CountingLoop",
     "s = 0; for (i = 0; i < 1000; i = i + 1) { s = s + i * 2 - 1; }",
     "s = 0; i = 0; while i < 1000 do s = s + i * 2 - 1; i = i + 1 end"},
    {"StringJoin",
     "s = \"\"; for (i = 0; i < 1000; i = i + 1) { s = s . \"ab\"; }",
     "s = \"\"; i = 0; while i < 1000 do s = s .. \"ab\"; i = i + 1 end"},
    {"SubCalls",
     "sub add(a, b) { return a + b; } for (i = 0; i < 1000; i = i + 1) { x = add(i, 1); }",
     "function add(a, b) return a + b end i = 0; while i < 1000 do x = add(i, 1); i = i + 1 end"},
    {"BuiltinCalls",
     "for (i = 0; i < 1000; i = i + 1) { x = int(i); }",
     "i = 0; while i < 1000 do x = int(i); i = i + 1 end"},
};

void Discard(const char*, size_t, void*) {}

// Lua's counterpart of the engine's "int": the integer of its argument's text.
int LuaInt(lua_State* L) {
  const char* text = luaL_tolstring(L, 1, nullptr);
  lua_pushinteger(L, std::atoi(text));
  return 1;
}

lua_State* NewLua() {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_register(L, "int", LuaInt);
  return L;
}

void OurRun(benchmark::State& state, const Program* p) {
  ScriptInitFunctions();
  ScriptSetOutput(Discard, nullptr);
  std::string text = p->ours;
  ScriptNode* program = nullptr;
  ScriptError error;
  if (ScriptCompile(text.data(), &program, &error) != 0) {
    state.SkipWithError("compile failed");
    return;
  }
  for (auto _ : state) {
    int rc = ScriptExec(program, nullptr, nullptr, nullptr, &error, 0, 0);
    if (rc != 0) {
      state.SkipWithError("run failed");
      break;
    }
  }
  ScriptFreeProgram(program);
  StrListFree(ScriptVars);
  ScriptVars = nullptr;
}

void LuaRun(benchmark::State& state, const Program* p) {
  lua_State* L = NewLua();
  if (luaL_loadstring(L, p->lua) != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  for (auto _ : state) {
    lua_pushvalue(L, -1);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
      state.SkipWithError(lua_tostring(L, -1));
      break;
    }
  }
  lua_close(L);
}

// About 20 KB of statements of every kind, in both languages.
std::string BigScript(bool lua) {
  std::string out;
  for (int n = 0; out.size() < 20000; ++n) {
    std::string k = std::to_string(n);
    if (lua) {
      out += "-- block " + k + "\n";
      out += "local_" + k + " = " + k + " * 2 + 1\n";
      out += "if local_" + k + " > 10 then name_" + k + " = \"item\" .. " + k + " else name_" + k + " = \"x\" end\n";
      out += "i = 0; while i < 3 do total = (total or 0) + i; i = i + 1 end\n";
      out += "function f_" + k + "(a, b) return a * b + " + k + " end\n";
    } else {
      out += "// block " + k + "\n";
      out += "local_" + k + " = " + k + " * 2 + 1;\n";
      out += "if (local_" + k + " > 10) { name_" + k + " = \"item\" . " + k + "; } else { name_" + k + " = \"x\"; }\n";
      out += "for (i = 0; i < 3; i = i + 1) { total = total + i; }\n";
      out += "sub f_" + k + "(a, b) { return a * b + " + k + "; }\n";
    }
  }
  return out;
}

void OurCompile(benchmark::State& state) {
  ScriptInitFunctions();
  const std::string source = BigScript(false);
  for (auto _ : state) {
    std::string text = source;
    ScriptNode* program = nullptr;
    ScriptError error;
    if (ScriptCompile(text.data(), &program, &error) != 0) {
      state.SkipWithError("compile failed");
      break;
    }
    ScriptFreeProgram(program);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void LuaCompile(benchmark::State& state) {
  lua_State* L = NewLua();
  const std::string source = BigScript(true);
  for (auto _ : state) {
    if (luaL_loadbuffer(L, source.data(), source.size(), "big") != LUA_OK) {
      state.SkipWithError(lua_tostring(L, -1));
      break;
    }
    lua_pop(L, 1);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
  lua_close(L);
}


}  // namespace

int main(int argc, char** argv) {
  for (const Program& p : kPrograms) {
    benchmark::RegisterBenchmark((std::string("Ours/") + p.name).c_str(), OurRun, &p);
    benchmark::RegisterBenchmark((std::string("Lua/") + p.name).c_str(), LuaRun, &p);
  }
  benchmark::RegisterBenchmark("Ours/Compile20KB", OurCompile);
  benchmark::RegisterBenchmark("Lua/Compile20KB", LuaCompile);
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter("Lua", false);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios("ratio ours/Lua (aim: 3 or less)", "  %-14s %8.1f\n");
  benchmark::Shutdown();
  return 0;
}
