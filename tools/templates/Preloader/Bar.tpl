# A bar preloader.
kind = bar
color = 0x66CCFF
color2 = 0x1A2A3A
text = Loading
