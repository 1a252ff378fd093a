// Keeps the Windows layer library non-empty while it grows.
