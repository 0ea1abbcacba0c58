#pragma once
// A locale for chat benchmarks and fuzz targets: a command word for every row of the chat's
// command table (plain English, like the demo's), the name and text tokens, and templates
// and refusal texts that use them. Loads it and the chat's words; never reads a file.
void chat_fixture_load_locale(void);
