#TITLE:テスト & <タイトル> "ﾃｽﾄ";
#ARTIST:歌手;
#BPM:180;
#SINGLE:EASY:12:4862;
