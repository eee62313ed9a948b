#TITLE:曲名: 前編; \後編\ //完//;
#ARTIST:アーティスト;
#FILE:C:\ソングス\ソング.wav;
#BPM:150;
#GAP:64;
#SINGLE:BASIC:3:
0000(4682);
