// Nested component below mid.
