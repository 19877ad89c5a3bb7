// Placeholder replaced below once fixtures exist.
