// The monster catalogue.
#pragma once

// Weak while its definition is not part of the game: the caller tests the
// address. The file that defines it drops the attribute.
[[gnu::weak]] void ReadCatalog();
