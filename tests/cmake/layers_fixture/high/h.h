// Top header.
