#pragma once

// Where a document loads (the "where" argument of LoadDocument).
enum class LoadWhere { Background = 0, Next = 1, Here = 2 };
