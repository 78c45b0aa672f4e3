// Lowest header.
